// ControlApp: starts the toolkit, names the settings store and runs the main window.
// The program ends when the window closes.

#include <memory>

#include <QApplication>

#include "core/company_key.h"
#include "gui/control_dialog.h"
#include "gui/program.h"

namespace {

class ControlApp : public QApplication {
public:
    ControlApp(int& argc, char** argv) : QApplication(argc, argv) {
        setOrganizationName(QString::fromLatin1(companyKey));
        setApplicationName(programName());
        setWindowIcon(programIcon());
    }

    // Runs the main window modally; there is no message loop after it.
    int run() {
        {
            // Destroying the window saves the settings and closes the serial port.
            auto dialog = std::make_unique<ControlDialog>();
            // "tavofox FILE", as the file manager starts it for a setup file.
            if (arguments().size() > 1) dialog->openSetup(arguments().at(1));
            dialog->exec();
        }
        return 0;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    ControlApp app(argc, argv);
    return app.run();
}
