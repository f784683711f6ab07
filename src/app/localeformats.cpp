#include "app/localeformats.h"

#include <QList>
#include <algorithm>

namespace quorvane::app {

namespace {

// One piece of a format: quoted text, a field (a run of one format letter, or "ap"/"AP"), or
// one literal character.
struct Piece {
    enum class Kind { Quoted, Field, Literal };
    Kind kind;
    QString text;

    QChar letter() const { return kind == Kind::Field ? text.front() : QChar(); }
    bool isLiteral(QChar c) const { return kind == Kind::Literal && text.front() == c; }
    // A blank or a comma: what joins a field to its neighbour and nothing else.
    bool isJoiner() const {
        if (kind != Kind::Literal) {
            return false;
        }
        const QChar c = text.front();
        return c.isSpace() || c == u',' || c == u'\uFF0C' || c == u'\u3001';
    }
    bool isBlank() const { return kind == Kind::Literal && text.front().isSpace(); }
};

using Pieces = QList<Piece>;

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The letters Qt renders as date or time fields ("a"/"A" also as "ap"/"AP").
bool isQtLetter(QChar c) {
    return QStringView(u"dMyhHmszaAt").contains(c);
}

Pieces piecesOf(const QString& format) {
    Pieces pieces;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        Piece::Kind kind = Piece::Kind::Literal;
        if (c == u'\'') {
            kind = Piece::Kind::Quoted;
            // Two quotes in a row stand for one quote character, inside quoted text as well.
            while (end < format.size()) {
                if (format.at(end) != u'\'') {
                    ++end;
                } else if (end + 1 < format.size() && format.at(end + 1) == u'\'' && end > i + 1) {
                    end += 2;
                } else {
                    ++end;
                    break;
                }
            }
        } else if (isAsciiLetter(c)) {
            kind = Piece::Kind::Field;
            if ((c == u'a' || c == u'A') && end < format.size() &&
                (format.at(end) == u'p' || format.at(end) == u'P')) {
                ++end;
            } else {
                while (end < format.size() && format.at(end) == c) {
                    ++end;
                }
            }
        }
        pieces.append(Piece{kind, format.mid(i, end - i)});
        i = end;
    }
    return pieces;
}

QString formatOf(const Pieces& pieces) {
    QString format;
    for (const Piece& piece : pieces) {
        format += piece.text;
    }
    return format;
}

bool hasField(const Pieces& pieces, QStringView letters) {
    return std::any_of(pieces.begin(), pieces.end(), [letters](const Piece& piece) {
        return piece.kind == Piece::Kind::Field && letters.contains(piece.letter());
    });
}

// Removes the piece at `at`; a blank it leaves doubled, or at either end, goes with it.
void removeField(Pieces& pieces, qsizetype at) {
    pieces.removeAt(at);
    const bool blankBefore = at > 0 && pieces.at(at - 1).isBlank();
    const bool blankAfter = at < pieces.size() && pieces.at(at).isBlank();
    if (blankAfter && (blankBefore || at == 0)) {
        pieces.removeAt(at);
    } else if (blankBefore && at == pieces.size()) {
        pieces.removeAt(at - 1);
    }
}

bool encloses(const Piece& open, const Piece& close) {
    return (open.isLiteral(u'(') && close.isLiteral(u')')) ||
           (open.isLiteral(u'[') && close.isLiteral(u']')) ||
           (open.isLiteral(u'\uFF08') && close.isLiteral(u'\uFF09'));
}

} // namespace

QString withoutZone(const QString& format) {
    Pieces pieces = piecesOf(format);
    for (qsizetype at = 0; at < pieces.size();) {
        if (pieces.at(at).letter() != u't') {
            ++at;
            continue;
        }
        pieces.removeAt(at);
        while (at > 0 && at < pieces.size() && encloses(pieces.at(at - 1), pieces.at(at))) {
            pieces.remove(at - 1, 2);
            --at;
        }
        while (at > 0 && pieces.at(at - 1).isJoiner()) {
            pieces.removeAt(--at);
        }
        if (at == 0) {
            while (at < pieces.size() && pieces.at(at).isJoiner()) {
                pieces.removeAt(at);
            }
        }
    }
    return formatOf(pieces);
}

QString withQtLetters(const QString& format) {
    Pieces pieces = piecesOf(format);
    for (qsizetype at = 0; at < pieces.size(); ++at) {
        Piece& piece = pieces[at];
        const QChar letter = piece.letter();
        if (piece.kind != Piece::Kind::Field || isQtLetter(letter)) {
            continue;
        }
        if ((letter == u'B' || letter == u'b') && !hasField(pieces, u"aA") &&
            hasField(pieces, u"h")) {
            piece.text = QStringLiteral("AP");
        } else if (letter == u'k') {
            piece.text.fill(u'H');
        } else if (letter == u'K') {
            piece.text.fill(u'h');
        } else {
            removeField(pieces, at);
            --at;
        }
    }
    return formatOf(pieces);
}

QString withFourDigitYears(const QString& format) {
    Pieces pieces = piecesOf(format);
    for (Piece& piece : pieces) {
        if (piece.letter() == u'y') {
            piece.text = QStringLiteral("yyyy");
        }
    }
    return formatOf(pieces);
}

QString timeFormatWithSeconds(const QLocale& locale) {
    return withQtLetters(withoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString numericTimeFormat(const QLocale& locale) {
    const Pieces pieces =
        piecesOf(withQtLetters(withoutZone(locale.timeFormat(QLocale::ShortFormat))));
    QString hour = QStringLiteral("H");
    QString separator = QStringLiteral(":");
    qsizetype hourAt = -1;
    for (qsizetype at = 0; at < pieces.size(); ++at) {
        const QChar letter = pieces.at(at).letter();
        if (hourAt < 0 && (letter == u'h' || letter == u'H')) {
            hourAt = at;
            hour = pieces.at(at).text.size() > 1 ? QStringLiteral("HH") : QStringLiteral("H");
        } else if (hourAt >= 0 && letter == u'm') {
            const bool oneCharacter = at == hourAt + 2;
            const Piece& between = pieces.at(hourAt + 1);
            if (oneCharacter && between.kind == Piece::Kind::Literal &&
                !between.text.front().isLetterOrNumber() && !between.text.front().isSpace()) {
                separator = between.text;
            }
            break;
        }
    }
    return hour + separator + QStringLiteral("mm") + separator + QStringLiteral("ss");
}

QString generalDateFormat(const QLocale& locale) {
    return withFourDigitYears(withQtLetters(locale.dateFormat(QLocale::ShortFormat)));
}

} // namespace quorvane::app
