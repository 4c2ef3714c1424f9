// The side panel's colour follows its window's key state, and the text field
// that takes no copy or paste.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QWidget>

#include "window/IMBoxExtensions.h"
#include "window/IMNotRespondingTextField.h"

namespace {
// Within one step of 8 bits per channel.
bool near(QRgb shown, QRgb expected) {
  return std::abs(qRed(shown) - qRed(expected)) <= 1 &&
         std::abs(qGreen(shown) - qGreen(expected)) <= 1 &&
         std::abs(qBlue(shown) - qBlue(expected)) <= 1;
}
}  // namespace

TEST(IMBoxExtensions, KeyAndNotKeyColoursFillThePanel) {
  QWidget box;
  box.resize(20, 20);
  becomeKey(&box);
  EXPECT_TRUE(near(box.grab().toImage().pixel(10, 10), qRgb(217, 222, 230)));
  resignKey(&box);
  EXPECT_TRUE(near(box.grab().toImage().pixel(10, 10), qRgb(237, 237, 237)));
  EXPECT_EQ(&IMBoxKeyFillColor(), &IMBoxKeyFillColor()) << "made once";
}

TEST(IMNotRespondingTextField, CopyAndPasteKeysDoNothing) {
  IMNotRespondingTextField field;
  field.setText("typed");
  field.selectAll();
  QApplication::clipboard()->setText("outside");
  for (QKeySequence::StandardKey key : {QKeySequence::Copy, QKeySequence::Paste}) {
    const QKeyCombination combination = QKeySequence(key)[0];
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    QApplication::sendEvent(&field, &press);
  }
  EXPECT_EQ(field.text(), "typed");
  EXPECT_EQ(QApplication::clipboard()->text(), "outside");
}
