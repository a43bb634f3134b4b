// Small helpers the side panels of the frame share: captions, hints and
// information icons, the integer field check, the short red flash of a time
// field and the widening of a combo box's drop-down list.
#pragma once

#include <QRect>
#include <QString>

#include <cstdint>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QWidget;

// A hint as the tool tip shows it, and its title (the first line of aTitle)
// as the accessible name.
void SetHint(QWidget* aWidget, const QString& aTitle, const QString& aNotes = QString());
// A black caption label.
QLabel* Caption(QWidget* aParent, const QString& aText, const QRect& aGeometry,
                Qt::Alignment aAlign = Qt::AlignLeft | Qt::AlignVCenter);
// A bold caption label: the title of a panel or of a section.
QLabel* TitleCaption(QWidget* aParent, const QString& aText, const QRect& aGeometry);
// The round "i" whose hint (lines separated by "\r\n") explains a row.
QLabel* InfoIcon(QWidget* aParent, const QPoint& aPos, const QString& aHint);
// Gives a side panel of the frame its look (framed, light ground, 12 px
// font), name and size, and hides it.
void StyleSidePanel(QFrame* aPanel, const QString& aName, const QSize& aSize);

// Reads an integer from the field within the limits (2147483647: no limit on
// that side); on failure the field blinks and aValue is untouched.
bool CheckBlinkEditInt(QLineEdit* aEdit, int32_t& aValue, int32_t aMin, int32_t aMax);

// How long a time field of the PWM calculator stays red.
inline constexpr int kMaskBlinkMs = 150;
// Paints the field red for kMaskBlinkMs, then gives it back its own colour.
// The caller is not blocked; a field already red stays red until its time is up.
void BlinkMaskEdit(QLineEdit* aEdit);

// Widens the drop-down list of aCombo to its widest item (+8), with room for
// a scroll bar when the list scrolls, when the combo itself is narrower.
void FitComboDropDown(QComboBox* aCombo);
