#pragma once

#include <QString>

#include <functional>
#include <vector>

// The screenshot mode ("--ui-preview=<folder>"): renders dialogs and pages
// with sample data into PNG (and check text) files in the folder, in a fixed
// order of sheets.

struct UiPreviewSheet {
    const char* name;                               // for the log
    std::function<void(const QString& folder)> render;
};

// The sheets in the order they are rendered.
std::vector<UiPreviewSheet> uiPreviewSheets();

// Creates the folder and renders every sheet into it; returns 0.
int runUiPreview(const QString& folder);
