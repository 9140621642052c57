// The texts of the program's window that are not in the menu tree: its title, the editors' status,
// help, About and the exit warning; one copy for the Win32 shell and for the page.
#pragma once

namespace kd215 {

extern const char* const kMainWindowTitle;    // "Program komunikacyjny Kd215 <--> PC"
extern const char* const kEditingStatusText;  // "\tEdycja": the area part while an area editor is open
extern const char* const kNoHelpText;         // "Plik pomocy nie jest na razie dostępny !"
extern const char* const kNoHelpCaption;      // "Brak dostępu !"
extern const char* const kAboutCaption;       // "O programie :"
// "UWAGA !!!\n...Czy na pewno chcesz zakończyć ?", asked with Yes and No before the program ends.
extern const char* const kExitWarningText;

}  // namespace kd215
