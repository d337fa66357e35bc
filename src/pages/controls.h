#pragma once
// Builders for the controls every page is made of, so that each control gets
// its documented name, limits and start value in one line and behaves the
// same on every page.

#include <QString>
#include <QStringList>
#include <initializer_list>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QObject;
class QWidget;

namespace kv350::widgets {

QPushButton *button(QWidget *parent, const char *name, const QString &caption = {});
QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption, bool checked = false);
QRadioButton *radio(QWidget *parent, const char *name, const QString &caption, bool checked = false);
// Radio buttons that exclude each other whatever their parents are.
QButtonGroup *exclusive(QObject *owner, std::initializer_list<QRadioButton *> buttons);
QLineEdit *edit(QWidget *parent, const char *name, const QString &text = {}, int maxLength = 0, bool readOnly = false);
// The hex fields show upper case whatever is typed or written into them; the
// cursor stays where the user left it.
void makeUpperCase(QLineEdit *edit);
QLineEdit *upperEdit(QWidget *parent, const char *name, const QString &text = {}, int maxLength = 0,
                     bool readOnly = false);
// Keeps a hex box wide enough to show `digits` hex digits whole in its font
// (the widest of them, D, each), also after the font changes with the
// language: at least that wide, or exactly when `exact`.
void fitHexDigits(QLineEdit *edit, int digits, bool exact = false);
// The width fitHexDigits() gives: the box's frame and margins included.
int hexDigitsWidth(const QLineEdit *edit, int digits);
// A drop-down list the user can only pick from.
QComboBox *dropDown(QWidget *parent, const char *name, const QStringList &items = {}, int current = -1);
QLabel *label(QWidget *parent, const char *name, const QString &text = {});
// Where a page says why it sent nothing, next to the box that caused it: red,
// wrapped, hidden while there is nothing to say.
QLabel *problemLabel(QWidget *parent, const char *name);
// Shows the reason, or hides the label when `why` is empty.
void showProblem(QLabel *problem, const QString &why);
QGroupBox *group(QWidget *parent, const char *name, const QString &title = {});
QListWidget *listBox(QWidget *parent, const char *name, bool fixedPitch = false);
QPlainTextEdit *memo(QWidget *parent, const char *name, bool fixedPitch = false);
QProgressBar *progress(QWidget *parent, const char *name);

// A horizontal scroll bar and the panel that shows its position as "%d",
// kept in step on every change, the program's own included.
struct Bar {
    QScrollBar *bar;
    QLabel *panel;
};
Bar scrollBar(QWidget *parent, const char *barName, const char *panelName, int min, int max, int value, int pageStep);

// label | bar | panel in one grid row, the bar taking the spare width.
void addBarRow(QGridLayout *grid, int row, QWidget *label, const Bar &bar, int column = 0);

// Rows of label | bar | panel, one a BarRow from `firstRow` on, each control
// stored where its BarRow points; the bar column takes the spare width.
struct BarRow {
    QLabel **label;
    const char *labelName;
    QScrollBar **bar;
    const char *barName;
    const char *panelName;
    int min, max, value, pageStep;
};
void barRows(QWidget *parent, QGridLayout *grid, std::initializer_list<BarRow> rows, int firstRow = 0);
// Widgets side by side in one row across the three columns of a grid of bar
// rows, with the spare room after them when `stretch` is set.
void addRowAcross(QGridLayout *grid, int row, std::initializer_list<QWidget *> widgets, bool stretch = false);
// The tight margins that fit every page into the fixed window.
template<class L>
L *compact(L *layout)
{
    layout->setContentsMargins(5, 3, 5, 3);
    layout->setSpacing(3);
    return layout;
}

// Caption of a button, check box, radio button, label or group box.
void setCaption(QWidget *control, const QString &caption);

}  // namespace kv350::widgets
