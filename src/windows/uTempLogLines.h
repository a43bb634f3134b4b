// The lines of the message log, kept in a rich-text document.
//
// One paragraph of the document is one line of the log, line 0 at the top.
// A document always holds at least one paragraph, so every paragraph that is a
// line carries a marker; the lone unmarked paragraph of an emptied document is
// "no lines". Each line has one colour, given as a window colour value in
// blue-green-red order (0x800000 is navy, 0x000080 maroon).
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <vector>

class QTextDocument;

// Window colour value (blue-green-red) to a colour and back.
QColor BgrToColor(uint32_t aBgr);
uint32_t ColorToBgr(const QColor& aColor);

struct TzTempLogLine {
  QString Text;
  QColor Color;
};

// A log line is one line: line breaks inside a text become spaces.
QString OneLineText(const QString& aText);

int LogLineCount(const QTextDocument& aDoc);
// Inserts the text as line 0 in the colour.
void LogInsertTop(QTextDocument& aDoc, const QString& aText, uint32_t aBgr);
// Deletes lines from the end until aKeep remain (nothing when fewer).
void LogKeepFirst(QTextDocument& aDoc, int aKeep);
// Every line whose text contains aKey becomes aText in its own colour; an empty
// key matches no line.
void LogReplace(QTextDocument& aDoc, const QString& aKey, const QString& aText);
void LogClear(QTextDocument& aDoc);
// The lines top to bottom with the colour each one is shown in.
std::vector<TzTempLogLine> LogLines(const QTextDocument& aDoc);
