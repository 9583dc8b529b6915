// Whether a text can go on the serial line as one command, as it stands.
// The line carries 8-bit characters (Latin-1) and ends a command at CR LF:
// a character outside Latin-1 would have to be replaced, and a line break
// or other control character would split the text or reach the generator
// as something else. Such a text is refused rather than altered.
#pragma once

#include <QString>

struct TCommandTextCheck {
    enum class TProblem {
        None,         // the text goes out as it stands
        Empty,        // nothing to send (blanks only)
        Control,      // a line break or other control character
        NotCarried,   // a character outside the line's 8-bit code
    };
    TProblem Problem = TProblem::None;
    char32_t Character = 0;  // the first offending character
    qsizetype Position = 0;  // its place in the text, 0 for the first character

    bool Ok() const { return Problem == TProblem::None; }
    // Why the text cannot be sent, naming the character: "it holds "€"
    // (U+20AC), a character the serial line cannot carry". Empty when Ok.
    QString Reason() const;
};

// Checks Text as one command. AllowEmpty lets an empty text through (the
// panel's terminal sends what is typed, an empty line too).
TCommandTextCheck CheckCommandText(const QString& text, bool allowEmpty = false);
