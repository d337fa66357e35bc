// The real Yes/No box: No is what Enter, Escape and closing it answer; only a
// click on Yes (or its shortcut) says Yes.
#include "app/services.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace kv350;

namespace {

// Answers the box once it is up, the way a user would.
bool answer(const std::function<void(QMessageBox *)> &user, QString *shown = nullptr)
{
    QtDialogs dialogs;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no modal box";
            return;
        }
        if (shown)
            *shown = box->windowTitle() + '|' + box->text() + '|' + box->defaultButton()->text();
        user(box);
    });
    return dialogs.confirm({"Please confirm", "Overwrite?", "Yes", "No"});
}

QAbstractButton *buttonCalled(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *b : box->buttons())
        if (b->text() == text)
            return b;
    return nullptr;
}

}  // namespace

TEST(ConfirmBox, DefaultIsNoAndOnlyYesSaysYes)
{
    QString shown;
    EXPECT_FALSE(answer([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); }, &shown));
    EXPECT_EQ(shown, "Please confirm|Overwrite?|No");
    EXPECT_FALSE(answer([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); }));
    EXPECT_FALSE(answer([](QMessageBox *box) { box->close(); }));
    EXPECT_FALSE(answer([](QMessageBox *box) { buttonCalled(box, "No")->click(); }));
    EXPECT_TRUE(answer([](QMessageBox *box) { buttonCalled(box, "Yes")->click(); }));
}
