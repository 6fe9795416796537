#pragma once

struct AppSettings;

// The settings dialog edits a copy of the settings while the panel keeps
// changing the live record on its own (the obfuscation toggle, the time of
// the last backup, an unlock from the account). Only what the user changed
// in the dialog may go back: every field the dialog can edit whose value in
// `working` differs from `opened` (the copy taken when the dialog opened) is
// copied into `target`; everything else of `target` stays.
void mergeDialogEdits(AppSettings& target, const AppSettings& opened, const AppSettings& working);
