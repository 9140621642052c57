// The texts of the program's window beside the menu tree, shared by the Win32 shell and the page.
#include "app/shell_texts.h"

namespace kd215 {

const char* const kMainWindowTitle = "Program komunikacyjny Kd215 <--> PC";
const char* const kEditingStatusText = "\tEdycja";
const char* const kNoHelpText = "Plik pomocy nie jest na razie dostępny !";
const char* const kNoHelpCaption = "Brak dostępu !";
const char* const kAboutCaption = "O programie :";
const char* const kExitWarningText =
    "UWAGA !!!\nWszystkie zmiany nie zapisane do pliku\nlub do sterownika zostaną utracone !!!\n"
    "Czy na pewno chcesz zakończyć ?";

}  // namespace kd215
