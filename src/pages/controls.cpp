#include "controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace kv350::widgets {
namespace {

template<class T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Sets a hex box's width now and whenever its font changes.
class HexWidth final : public QObject {
public:
    HexWidth(QLineEdit *edit, int digits, bool exact) : QObject(edit), m_edit(edit), m_digits(digits), m_exact(exact)
    {
        edit->installEventFilter(this);
        apply();
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_edit && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
            apply();
        return false;
    }

private:
    void apply()
    {
        const int width = hexDigitsWidth(m_edit, m_digits);
        if (m_exact)
            m_edit->setFixedWidth(width);
        else
            m_edit->setMinimumWidth(width);
    }
    QLineEdit *m_edit;
    int m_digits;
    bool m_exact;
};

}  // namespace

int hexDigitsWidth(const QLineEdit *edit, int digits)
{
    const QFontMetrics metrics(edit->font());
    // Measured as a run of each digit: one digit's advance is rounded to whole pixels.
    int widest = 0;
    for (char c : QByteArrayLiteral("0123456789ABCDEF"))
        widest = std::max(widest, metrics.horizontalAdvance(QString(digits, QLatin1Char(c))));
    // What is around the text: QLineEdit's own 2 pixels a side, its text
    // margins, and what the style keeps for its frame and padding (asked of a
    // box of some width: the rectangle it draws text in is that much narrower).
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    option.rect = QRect(0, 0, 1000, metrics.height() + 10);
    const QRect text =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).marginsRemoved(edit->textMargins());
    return widest + 4 + (option.rect.width() - text.width());
}

void fitHexDigits(QLineEdit *edit, int digits, bool exact)
{
    new HexWidth(edit, digits, exact);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    return named(new QPushButton(caption, parent), name);
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption, bool checked)
{
    auto *box = named(new QCheckBox(caption, parent), name);
    box->setChecked(checked);
    return box;
}

QRadioButton *radio(QWidget *parent, const char *name, const QString &caption, bool checked)
{
    auto *button = named(new QRadioButton(caption, parent), name);
    button->setChecked(checked);
    return button;
}

QButtonGroup *exclusive(QObject *owner, std::initializer_list<QRadioButton *> buttons)
{
    auto *group = new QButtonGroup(owner);
    for (QRadioButton *b : buttons)
        group->addButton(b);
    return group;
}

QLineEdit *edit(QWidget *parent, const char *name, const QString &text, int maxLength, bool readOnly)
{
    auto *e = named(new QLineEdit(parent), name);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->setText(text);
    e->setReadOnly(readOnly);
    return e;
}

void makeUpperCase(QLineEdit *e)
{
    // textChanged rather than a validator: the handlers' own setText must be
    // upper-cased as well, not only what is typed.
    QObject::connect(e, &QLineEdit::textChanged, e, [e](const QString &text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = e->cursorPosition();
        e->setText(upper);
        e->setCursorPosition(cursor);
    });
    e->setText(e->text().toUpper());
}

QLineEdit *upperEdit(QWidget *parent, const char *name, const QString &text, int maxLength, bool readOnly)
{
    QLineEdit *e = edit(parent, name, text, maxLength, readOnly);
    makeUpperCase(e);
    return e;
}

QComboBox *dropDown(QWidget *parent, const char *name, const QStringList &items, int current)
{
    auto *box = named(new QComboBox(parent), name);
    box->setEditable(false);
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    return l;
}

QLabel *problemLabel(QWidget *parent, const char *name)
{
    QLabel *l = label(parent, name);
    l->setWordWrap(true);
    l->setStyleSheet(QStringLiteral("color: #c00000;"));
    l->hide();
    return l;
}

void showProblem(QLabel *problem, const QString &why)
{
    problem->setText(why);
    problem->setVisible(!why.isEmpty());
}

QGroupBox *group(QWidget *parent, const char *name, const QString &title)
{
    return named(new QGroupBox(title, parent), name);
}

QListWidget *listBox(QWidget *parent, const char *name, bool fixedPitch)
{
    auto *list = named(new QListWidget(parent), name);
    if (fixedPitch)
        list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return list;
}

QPlainTextEdit *memo(QWidget *parent, const char *name, bool fixedPitch)
{
    auto *m = named(new QPlainTextEdit(parent), name);
    if (fixedPitch)
        m->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return m;
}

QProgressBar *progress(QWidget *parent, const char *name)
{
    auto *p = named(new QProgressBar(parent), name);
    p->setRange(0, 100);
    p->setValue(0);
    return p;
}

Bar scrollBar(QWidget *parent, const char *barName, const char *panelName, int min, int max, int value, int pageStep)
{
    auto *bar = named(new QScrollBar(Qt::Horizontal, parent), barName);
    bar->setRange(min, max);
    bar->setSingleStep(1);
    bar->setPageStep(pageStep);
    bar->setValue(value);
    bar->setMinimumWidth(80);
    auto *panel = named(new QLabel(QString::number(value), parent), panelName);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setMinimumWidth(panel->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    QObject::connect(bar, &QScrollBar::valueChanged, panel,
                     [panel](int position) { panel->setText(QString::number(position)); });
    return {bar, panel};
}

void addBarRow(QGridLayout *grid, int row, QWidget *label, const Bar &bar, int column)
{
    if (label)
        grid->addWidget(label, row, column);
    grid->addWidget(bar.bar, row, column + 1);
    grid->addWidget(bar.panel, row, column + 2);
}

void barRows(QWidget *parent, QGridLayout *grid, std::initializer_list<BarRow> rows, int firstRow)
{
    int row = firstRow;
    for (const BarRow &r : rows) {
        *r.label = label(parent, r.labelName);
        const Bar bar = scrollBar(parent, r.barName, r.panelName, r.min, r.max, r.value, r.pageStep);
        *r.bar = bar.bar;
        addBarRow(grid, row++, *r.label, bar);
    }
    grid->setColumnStretch(1, 1);
}

void addRowAcross(QGridLayout *grid, int row, std::initializer_list<QWidget *> widgets, bool stretch)
{
    auto *line = new QHBoxLayout;
    for (QWidget *widget : widgets)
        line->addWidget(widget);
    if (stretch)
        line->addStretch();
    grid->addLayout(line, row, 0, 1, 3);
}

void setCaption(QWidget *control, const QString &caption)
{
    if (auto *b = qobject_cast<QAbstractButton *>(control))
        b->setText(caption);
    else if (auto *g = qobject_cast<QGroupBox *>(control))
        g->setTitle(caption);
    else if (auto *l = qobject_cast<QLabel *>(control))
        l->setText(caption);
}

}  // namespace kv350::widgets
