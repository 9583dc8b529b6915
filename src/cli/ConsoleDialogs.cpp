#include "cli/ConsoleDialogs.h"

namespace jtcli {

TMsgButton TConsoleDialogs::DoMessageDlg(const QString& text, const QString&, TMsgButtons buttons, TMsgKind)
{
    // A box's line breaks become blanks: one message, one line.
    std::fprintf(FErr, "jt6400-cli: %s\n", text.simplified().toLocal8Bit().constData());
    std::fflush(FErr);
    return SafeDefaultButton(buttons);
}

}  // namespace jtcli
