// The tray icon and the hot key, as every window of the program shares them.
#include "catalogue/catalogue_form.h"
#include "catalogue/program_state.h"
#include "catalogue/progress_form.h"

namespace talvenor {

void ProgramState::HotKeyPressed() {
    // The icon added here is always the catalogue window's.
    if (form1->window.visible) {
        TrayWindow = kTrayCatalogue;
        HideToTray(kTrayCatalogue);
    } else if (reader && reader->ReaderWindow().visible) {
        TrayWindow = kTrayReader;
        HideToTray(kTrayCatalogue);
    } else if (form4->window.visible) {
        TrayWindow = kTrayProgress;
        HideToTray(kTrayCatalogue);
    } else {
        RestoreFromTray(kTrayCatalogue);
    }
}

void ProgramState::SystemCommand(int code, bool minimize) {
    TrayWindow = code;
    if (minimize) HideToTray(code);
}

void ProgramState::TrayIconClicked() {
    RestoreFromTray(trayIconOwner);
}

}  // namespace talvenor
