#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cctype>

// Finds the texts a C++ source passes to Translate(): a string literal (adjacent literals joined,
// optionally wrapped in QStringLiteral) as the whole argument. Comments, other literals and other
// identifiers ending in "Translate" are skipped; a call whose argument is more than a literal is
// reported, since its text cannot be looked up in the catalogue.

struct TTranslateCall {
    QString Text;         // decoded literal
    int Line = 0;         // 1-based line of the call
    bool Literal = false; // false: the argument is not a plain literal (Text holds what was read)
};

namespace TranslateScanner {

inline bool IsIdentChar(QChar C) {
    return C.isLetterOrNumber() || C == u'_';
}

class TScanner {
public:
    explicit TScanner(const QString& Source) : S(Source) {}

    QList<TTranslateCall> Run() {
        QList<TTranslateCall> Calls;
        while (P < S.size()) {
            if (SkipCommentOrLiteral())
                continue;
            const QChar C = S.at(P);
            if (C.isLetter() || C == u'_') {
                const qsizetype Start = P;
                while (P < S.size() && IsIdentChar(S.at(P)))
                    ++P;
                if (S.mid(Start, P - Start) == u"Translate" && !IsMemberAccess(Start))
                    ParseCall(Calls, LineAt(Start));
                continue;
            }
            ++P;
        }
        return Calls;
    }

private:
    const QString& S;
    qsizetype P = 0;

    int LineAt(qsizetype Pos) const { return static_cast<int>(S.left(Pos).count(u'\n')) + 1; }

    bool IsMemberAccess(qsizetype Start) const {
        qsizetype I = Start - 1;
        while (I >= 0 && S.at(I).isSpace())
            --I;
        return I >= 0 && (S.at(I) == u'.' || (S.at(I) == u'>' && I > 0 && S.at(I - 1) == u'-'));
    }

    bool SkipCommentOrLiteral() {
        if (S.mid(P, 2) == u"//") {
            while (P < S.size() && S.at(P) != u'\n')
                ++P;
            return true;
        }
        if (S.mid(P, 2) == u"/*") {
            const qsizetype End = S.indexOf(u"*/", P + 2);
            P = End < 0 ? S.size() : End + 2;
            return true;
        }
        if (S.at(P) == u'"') {
            ReadStringLiteral(/*Wide=*/false);
            return true;
        }
        if (S.at(P) == u'\'') {
            // A digit separator (1'000) is not a character literal.
            if (P > 0 && S.at(P - 1).isLetterOrNumber()) {
                ++P;
                return true;
            }
            ++P;
            while (P < S.size() && S.at(P) != u'\'') {
                if (S.at(P) == u'\\')
                    ++P;
                ++P;
            }
            ++P;
            return true;
        }
        return false;
    }

    void SkipBlanks() {
        while (P < S.size()) {
            if (S.at(P).isSpace())
                ++P;
            else if (S.mid(P, 2) == u"//" || S.mid(P, 2) == u"/*")
                SkipCommentOrLiteral();
            else
                break;
        }
    }

    static void AppendUtf8(QByteArray& Out, char32_t CodePoint) {
        Out.append(QString::fromUcs4(&CodePoint, 1).toUtf8());
    }

    // P at the opening quote; returns the decoded text and leaves P after the closing quote.
    QString ReadStringLiteral(bool Wide) {
        QByteArray Bytes;
        ++P;
        while (P < S.size() && S.at(P) != u'"') {
            QChar C = S.at(P++);
            if (C != u'\\') {
                Bytes.append(QString(C).toUtf8());
                continue;
            }
            if (P >= S.size())
                break;
            C = S.at(P++);
            switch (C.unicode()) {
            case 'n':
                Bytes.append('\n');
                break;
            case 't':
                Bytes.append('\t');
                break;
            case 'r':
                Bytes.append('\r');
                break;
            case 'a':
                Bytes.append('\a');
                break;
            case 'b':
                Bytes.append('\b');
                break;
            case 'f':
                Bytes.append('\f');
                break;
            case 'v':
                Bytes.append('\v');
                break;
            case 'x': {
                uint Value = 0;
                while (P < S.size() && isxdigit(S.at(P).toLatin1()))
                    Value = Value * 16 + static_cast<uint>(QString(S.at(P++)).toUInt(nullptr, 16));
                if (Wide)
                    AppendUtf8(Bytes, Value);
                else
                    Bytes.append(static_cast<char>(Value & 0xFF));
                break;
            }
            case 'u':
            case 'U': {
                const int Digits = C == u'u' ? 4 : 8;
                AppendUtf8(Bytes, S.mid(P, Digits).toUInt(nullptr, 16));
                P += Digits;
                break;
            }
            default:
                if (C >= u'0' && C <= u'7') {
                    uint Value = C.unicode() - '0';
                    for (int N = 0; N < 2 && P < S.size() && S.at(P) >= u'0' && S.at(P) <= u'7'; ++N)
                        Value = Value * 8 + (S.at(P++).unicode() - '0');
                    Bytes.append(static_cast<char>(Value & 0xFF));
                } else {
                    Bytes.append(QString(C).toUtf8()); // \" \' \\ \?
                }
            }
        }
        ++P;
        return QString::fromUtf8(Bytes);
    }

    // One or more adjacent literals, each optionally prefixed with u8 / u / U / L.
    bool ReadLiterals(QString& Text) {
        bool Any = false;
        for (;;) {
            SkipBlanks();
            qsizetype Q = P;
            bool Wide = false;
            for (const char* Prefix : {"u8", "u", "U", "L"}) {
                const QString Pre = QString::fromLatin1(Prefix);
                if (S.mid(Q, Pre.size()) == Pre && Q + Pre.size() < S.size() && S.at(Q + Pre.size()) == u'"') {
                    Wide = Pre != u"u8";
                    Q += Pre.size();
                    break;
                }
            }
            if (Q >= S.size() || S.at(Q) != u'"')
                return Any;
            P = Q;
            Text += ReadStringLiteral(Wide);
            Any = true;
        }
    }

    void ParseCall(QList<TTranslateCall>& Calls, int Line) {
        SkipBlanks();
        if (P >= S.size() || S.at(P) != u'(')
            return; // a declaration's name or a mention, not a call
        ++P;
        SkipBlanks();
        int Wrappers = 0;
        if (S.mid(P, 14) == u"QStringLiteral") {
            P += 14;
            SkipBlanks();
            if (P < S.size() && S.at(P) == u'(') {
                ++P;
                ++Wrappers;
            }
        }
        TTranslateCall Call;
        Call.Line = Line;
        if (!ReadLiterals(Call.Text)) {
            // Translate(Variable) passes a text made elsewhere; nothing to look up here.
            if (Wrappers == 0)
                return;
        }
        SkipBlanks();
        for (; Wrappers > 0 && P < S.size() && S.at(P) == u')'; --Wrappers) {
            ++P;
            SkipBlanks();
        }
        Call.Literal = Wrappers == 0 && P < S.size() && S.at(P) == u')';
        Calls.append(Call);
    }
};

} // namespace TranslateScanner

inline QList<TTranslateCall> ScanTranslateCalls(const QString& Source) {
    return TranslateScanner::TScanner(Source).Run();
}
