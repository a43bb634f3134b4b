#include "uFilterPanel.h"

#include <QLabel>
#include <QToolButton>

#include "uButtonActivation.h"
#include "uPanelControls.h"

namespace {

constexpr int kColumnWidth = 206;
constexpr int kFirstRowTop = 56;
constexpr int kRowStep = 28;

}  // namespace

TzFilterPanel::TzFilterPanel(QWidget* aParent, TzRegSink& aSink) : QFrame(aParent), fSink(aSink) {
  StyleSidePanel(this, QStringLiteral("panDIn_Filter"), QSize(2 * kColumnWidth + 12, kFirstRowTop + 6 * kRowStep + 6));
  TitleCaption(this, QStringLiteral("Фильтр дребезга контактов"), QRect(8, 5, width() - 16, 20));

  for (int column = 0; column < 2; ++column) {
    const int left = 6 + column * kColumnWidth;
    Caption(this, QStringLiteral("Импульсы более:"), QRect(left + 64, 30, 136, 20), Qt::AlignCenter);
    for (int row = 0; row < 6; ++row) {
      const int input = column * 6 + row + 1;
      const int top = kFirstRowTop + row * kRowStep;
      const QString caption = QStringLiteral("Вход #%1:").arg(input);
      Caption(this, caption, QRect(left, top, 60, 24));
      // Each row's pair is one exclusive group: their own parent.
      auto* pair = new QWidget(this);
      pair->setGeometry(left + 64, top, 136, 24);
      auto button = [&](const QString& aText, int aTag, const QString& aName) {
        auto* b = new QToolButton(pair);
        b->setObjectName(aName);
        b->setText(aText);
        b->setAccessibleName(QStringLiteral("Вход #%1: %2").arg(input).arg(aText));
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setGeometry(aTag % 2 == 1 ? 0 : 68, 0, 66, 24);
        // Every click writes, also on the button that is down: inputs 7..12
        // are never read back, and clicking is how the module is made to agree.
        OnExclusiveButtonActivated(b, this, [this, aTag] { btnDin1Imp375Click(aTag); });
        return b;
      };
      const size_t i = static_cast<size_t>(input - 1);
      btnDinImp375[i] = button(QStringLiteral("0.375 мс"), 2 * input - 1, QStringLiteral("btnDin%1Imp375").arg(input));
      btnDinImp55[i] = button(QStringLiteral("5.5 мс"), 2 * input, QStringLiteral("btnDin%1Imp55").arg(input));
      SetCheckedQuietly(btnDinImp375[i], true);  // "0.375 мс" at start
    }
  }
}

void TzFilterPanel::btnDin1Imp375Click(int aTag) {
  if (aTag < 1 || aTag > 2 * kInputCount) return;
  // The group keeps the button down; the panel does not wait for the module.
  WriteFilterType(fSink, (aTag + 1) / 2, aTag % 2 == 0 ? ftLong : ftShort);
}

void TzFilterPanel::SetDIN_Filter(int aIndex, int32_t aType) {
  if (aIndex < 0 || aIndex >= kReportedFilterInputs) return;
  const size_t i = static_cast<size_t>(aIndex);
  if (aType == ftShort) SetCheckedQuietly(btnDinImp375[i], true);
  else if (aType == ftLong) SetCheckedQuietly(btnDinImp55[i], true);
}
