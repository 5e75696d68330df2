#pragma once
// The program's file dialogs: a caption, the filters in the "label|pattern|...||" form of the
// open-file filters, a default extension, and the file last used. The dialog opens in that
// file's folder with its name in the name field; the native Windows dialog takes a name there
// as the operator's typing, so a whole path would leave the list in the working folder.

#include <optional>
#include <string>
#include <string_view>

#include <QString>

class QWidget;

enum class FileDialogMode { open, save };

// The chosen file's path, or nothing when the operator cancels. An open dialog takes only a
// file that exists; a save dialog adds the default extension to a name without one.
std::optional<QString> chooseFile(QWidget* parent, FileDialogMode mode, std::string_view filter,
                                  std::string_view defaultExtension, const std::string& lastPath);
