#include "comm/CommandText.h"

namespace {

// The names of the control characters a user is likely to meet in a pasted
// or quoted command.
QString ControlName(char32_t c)
{
    switch (c) {
        case U'\n':
            return QStringLiteral("a line feed");
        case U'\r':
            return QStringLiteral("a carriage return");
        case U'\t':
            return QStringLiteral("a tab");
        case U'\0':
            return QStringLiteral("a NUL character");
        case 0x7F:
            return QStringLiteral("a delete character");
        default:
            return QStringLiteral("a control character");
    }
}

QString CodePoint(char32_t c)
{
    return QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
}

bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

QString TCommandTextCheck::Reason() const
{
    switch (Problem) {
        case TProblem::None:
            return QString();
        case TProblem::Empty:
            return QStringLiteral("the command is empty");
        case TProblem::Control:
            return QStringLiteral("it holds %1 (%2) at position %3; one command is one line of printable characters")
                .arg(ControlName(Character), CodePoint(Character))
                .arg(Position + 1);
        case TProblem::NotCarried:
            return QStringLiteral("it holds \"%1\" (%2) at position %3, a character the serial line cannot carry")
                .arg(QString::fromUcs4(&Character, 1), CodePoint(Character))
                .arg(Position + 1);
    }
    return QString();
}

TCommandTextCheck CheckCommandText(const QString& text, bool allowEmpty)
{
    TCommandTextCheck check;
    qsizetype position = 0;  // in characters, a pair of surrogates being one
    for (qsizetype i = 0; i < text.size(); ++i, ++position) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (IsControl(c) || c > 0xFF) {
            check.Problem = IsControl(c) ? TCommandTextCheck::TProblem::Control
                                         : TCommandTextCheck::TProblem::NotCarried;
            check.Character = c;
            check.Position = position;
            return check;
        }
    }
    if (!allowEmpty && text.trimmed().isEmpty())
        check.Problem = TCommandTextCheck::TProblem::Empty;
    return check;
}
