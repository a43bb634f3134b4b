#include "uTempLogLines.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Block property that marks a paragraph as a log line.
constexpr int kLineMark = QTextFormat::UserProperty + 1;

bool IsLine(const QTextBlock& aBlock) {
  return aBlock.isValid() && aBlock.blockFormat().boolProperty(kLineMark);
}

QTextCharFormat ColorFormat(uint32_t aBgr) {
  QTextCharFormat format;
  format.setForeground(BgrToColor(aBgr));
  return format;
}

QTextBlockFormat LineFormat() {
  QTextBlockFormat format;
  format.setProperty(kLineMark, true);
  return format;
}

// The colour a line is shown in: that of its text, or for an empty line the
// block's own character format (what typing into it would use).
QColor ShownColor(const QTextBlock& aBlock) {
  for (auto it = aBlock.begin(); !it.atEnd(); ++it) {
    const QTextFragment fragment = it.fragment();
    if (fragment.isValid() && fragment.length() > 0) return fragment.charFormat().foreground().color();
  }
  return aBlock.charFormat().foreground().color();
}

// Current text format of a line, so a replaced line keeps its colour.
QTextCharFormat LineCharFormat(const QTextBlock& aBlock) {
  QTextCharFormat format = aBlock.charFormat();
  format.setForeground(ShownColor(aBlock));
  return format;
}

// Fills an empty block as a line with the text in the format.
void WriteLine(QTextDocument& aDoc, const QTextBlock& aBlock, const QString& aText, const QTextCharFormat& aFormat) {
  QTextCursor cursor(&aDoc);
  cursor.setPosition(aBlock.position());
  cursor.setBlockFormat(LineFormat());
  cursor.setBlockCharFormat(aFormat);
  cursor.insertText(aText, aFormat);
}

}  // namespace

QColor BgrToColor(uint32_t aBgr) {
  return QColor(static_cast<int>(aBgr & 0xFF), static_cast<int>((aBgr >> 8) & 0xFF),
                static_cast<int>((aBgr >> 16) & 0xFF));
}

uint32_t ColorToBgr(const QColor& aColor) {
  return static_cast<uint32_t>(aColor.red()) | (static_cast<uint32_t>(aColor.green()) << 8) |
         (static_cast<uint32_t>(aColor.blue()) << 16);
}

QString OneLineText(const QString& aText) {
  QString text = aText;
  for (QChar& ch : text) {
    if (ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f' || ch == QChar::LineSeparator ||
        ch == QChar::ParagraphSeparator || ch == QChar(0x85))
      ch = u' ';
  }
  return text;
}

int LogLineCount(const QTextDocument& aDoc) {
  return IsLine(aDoc.firstBlock()) ? aDoc.blockCount() : 0;
}

void LogInsertTop(QTextDocument& aDoc, const QString& aText, uint32_t aBgr) {
  const QTextCharFormat format = ColorFormat(aBgr);
  if (LogLineCount(aDoc) > 0) {
    // A paragraph break at the very start: the old first line moves down with
    // its formats and an empty paragraph opens above it.
    QTextCursor cursor(&aDoc);
    cursor.setPosition(0);
    cursor.insertBlock();
  }
  WriteLine(aDoc, aDoc.firstBlock(), OneLineText(aText), format);
}

void LogKeepFirst(QTextDocument& aDoc, int aKeep) {
  if (LogLineCount(aDoc) <= aKeep) return;
  if (aKeep <= 0) {
    LogClear(aDoc);
    return;
  }
  // From the end of line aKeep-1 (its paragraph break) to the end.
  QTextCursor cursor(&aDoc);
  cursor.setPosition(aDoc.findBlockByNumber(aKeep).position() - 1);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void LogReplace(QTextDocument& aDoc, const QString& aKey, const QString& aText) {
  if (aKey.isEmpty() || LogLineCount(aDoc) == 0) return;
  const QString text = OneLineText(aText);
  for (QTextBlock block = aDoc.firstBlock(); block.isValid(); block = block.next()) {
    if (!block.text().contains(aKey)) continue;
    const QTextCharFormat format = LineCharFormat(block);
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text, format);
    cursor.setBlockCharFormat(format);
  }
}

void LogClear(QTextDocument& aDoc) {
  aDoc.clear();
}

std::vector<TzTempLogLine> LogLines(const QTextDocument& aDoc) {
  std::vector<TzTempLogLine> lines;
  if (LogLineCount(aDoc) == 0) return lines;
  lines.reserve(static_cast<size_t>(aDoc.blockCount()));
  for (QTextBlock block = aDoc.firstBlock(); block.isValid(); block = block.next())
    lines.push_back({block.text(), ShownColor(block)});
  return lines;
}
