#pragma once

// The whole life of the process; returns the exit code of the roads that
// return (icon probe, screenshot mode, second instance).
int qMain(int argc, char** argv);
