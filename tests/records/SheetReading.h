#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <map>
#include <string>
#include <vector>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Reading back what an export wrote, without the code that wrote it.

// An RFC 4180 file as rows of fields: quoted fields may hold commas, CR, LF
// and doubled quotes; lines end in CR LF. `strict` is cleared on any line
// end other than CR LF or any stray quote.
inline std::vector<QStringList> parseCsv(const QString& text, bool& strict) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    strict = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            strict = strict && field.isEmpty() && !wasQuoted;
            quoted = true;
            wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                   text[i + 1] == QLatin1Char('\n')) {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else {
            strict = strict && c != QLatin1Char('\n') && c != QLatin1Char('\r') && !wasQuoted;
            field += c;
        }
    }
    strict = strict && !quoted && field.isEmpty() && row.isEmpty();
    return rows;
}

// One member of a zip file, through unzip.
inline QByteArray unzipMember(const QString& zip, const QString& member) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    unzip.waitForFinished(60'000);
    return unzip.readAllStandardOutput();
}

// A cell of a sheet: its type attribute, its text (shared strings looked
// up, inline strings read), and whether it holds a formula.
struct SheetCell {
    QString type;
    QString text;
    bool formula = false;
};

// Column letters and row number of "B12" as (row 12, column 1).
inline std::pair<int, int> cellPlace(const QString& reference) {
    int column = 0;
    int i = 0;
    while (i < reference.size() && reference[i].isLetter()) {
        column = column * 26 + (reference[i].toLatin1() - 'A' + 1);
        ++i;
    }
    return {reference.mid(i).toInt(), column - 1};
}

// The cells of one worksheet of an XLSX file by (row from 1, column from 0).
inline std::map<std::pair<int, int>, SheetCell> readSheet(const QString& xlsx, int sheet) {
    QStringList shared;
    QXmlStreamReader strings(unzipMember(xlsx, QStringLiteral("xl/sharedStrings.xml")));
    while (!strings.atEnd()) {
        if (strings.readNext() == QXmlStreamReader::StartElement && strings.name() == u"si") {
            shared << strings.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    std::map<std::pair<int, int>, SheetCell> cells;
    QXmlStreamReader xml(unzipMember(xlsx, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)));
    std::pair<int, int> at;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"c") {
            at = cellPlace(xml.attributes().value(QStringLiteral("r")).toString());
            cells[at].type = xml.attributes().value(QStringLiteral("t")).toString();
        } else if (xml.name() == u"f") {
            cells[at].formula = true;
        } else if (xml.name() == u"v") {
            const QString v = xml.readElementText();
            cells[at].text = cells[at].type == u"s" ? shared.value(v.toInt()) : v;
        } else if (xml.name() == u"is") {
            cells[at].text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    return cells;
}
