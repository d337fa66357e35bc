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

namespace kv350::widgets {
namespace {

template<class T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace

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
