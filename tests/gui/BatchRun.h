#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "ChildById.h"
#include "gui/ops/BatchWindow.h"

// Types the password into a shown batch window, starts it and waits until every row has ended.
inline void runBatchToEnd(lm::gui::BatchWindow& window, const char* password) {
    using Id = lm::gui::BatchWindow::Id;
    QSignalSpy ended(&window, &lm::gui::BatchWindow::batchEnded);
    QTest::keyClicks(child<QLineEdit>(window, Id::Password), QString::fromLatin1(password));
    QTest::mouseClick(child<QPushButton>(window, Id::Start), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
}
