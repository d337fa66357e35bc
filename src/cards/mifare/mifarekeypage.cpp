#include "mifarekeypage.h"

#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"
#include "cards/mifare/trailerwrite.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "pages/pagewidgets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

namespace {

struct AccessChoice {
    int button;  // 0: no choice in this slot
    const char *caption;
    bool initial;
};
struct AccessSet {
    const char *caption;
    AccessChoice choices[3];
};
struct AccessBox {
    const char *name;
    const char *caption;
    AccessSet sets[4];
    int setCount;
};

// Initial choices: row 000 for the data blocks, row 001 for the trailer.
// clang-format off
const AccessBox AccessBoxes[] = {
    {"gbblock0", "Block 0",
     {{"Read", {{1, "A/B", true}, {2, "B", false}, {3, "never", false}}},
      {"Write", {{31, "A/B", true}, {32, "B", false}, {33, "never", false}}},
      {"INC", {{7, "A/B", true}, {11, "B", false}, {9, "never", false}}},
      {"DEC", {{8, "A/B", true}, {10, "never", false}, {}}}},
     4},
    {"gbblock1", "Block 1",
     {{"Read", {{4, "A/B", true}, {5, "B", false}, {6, "never", false}}},
      {"Write", {{19, "A/B", true}, {20, "B", false}, {21, "never", false}}},
      {"INC", {{13, "A/B", true}, {15, "B", false}, {14, "never", false}}},
      {"DEC", {{16, "A/B", true}, {17, "never", false}, {}}}},
     4},
    {"gbblock2", "Block 2",
     {{"Read", {{22, "A/B", true}, {23, "B", false}, {24, "never", false}}},
      {"Write", {{34, "A/B", true}, {35, "B", false}, {36, "never", false}}},
      {"INC", {{25, "A/B", true}, {27, "B", false}, {26, "never", false}}},
      {"DEC", {{28, "A/B", true}, {29, "never", false}, {}}}},
     4},
    {"gbAccKeyA", "Key A",
     {{"Read", {{38, "never", true}, {}, {}}}, {"Write", {{46, "A", true}, {47, "B", false}, {12, "never", false}}}},
     2},
    {"gbAccBits", "Access bits",
     {{"Read", {{42, "A", true}, {49, "A/B", false}, {}}},
      {"Write", {{43, "A", true}, {44, "B", false}, {45, "never", false}}}},
     2},
    {"gbAccKeyB", "Key B",
     {{"Read", {{37, "never", false}, {48, "A", true}, {}}},
      {"Write", {{39, "A", true}, {40, "B", false}, {41, "never", false}}}},
     2},
};
// clang-format on

}  // namespace

MifareKeyPage::MifareKeyPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsMifareKey"));
    const QString transportKey = QStringLiteral("FFFFFFFFFFFF");

    m_gbM1Key = group(this, "gbM1Key");
    QWidget *g = m_gbM1Key;
    const Bar sector = scrollBar(g, "sbM1CardSector", "pnM1CardSector", 0, 39, 1, 10);
    m_sbM1CardSector = sector.bar;
    m_lblM1CardSector = label(g, "lblM1CardSector", QStringLiteral("Sector:"));

    m_gbCardKeyOld = group(g, "gbCardKeyOld");
    m_edM1CardOldKey = upperEdit(m_gbCardKeyOld, "edM1CardOldKey", transportKey, 12);
    m_rbM1CardKeyA = radio(m_gbCardKeyOld, "rbM1CardKeyA", QStringLiteral("Key A"), true);
    m_rbM1CardKeyB = radio(m_gbCardKeyOld, "rbM1CardKeyB", QStringLiteral("Key B"));
    exclusive(this, {m_rbM1CardKeyA, m_rbM1CardKeyB});
    auto *old = compact(new QGridLayout(m_gbCardKeyOld));
    old->addWidget(label(m_gbCardKeyOld, "lblM1CardOldKey", QStringLiteral("Key:")), 0, 0);
    old->addWidget(m_edM1CardOldKey, 0, 1, 1, 2);
    old->addWidget(m_rbM1CardKeyA, 1, 1);
    old->addWidget(m_rbM1CardKeyB, 1, 2);

    m_gbM1NewCardKey = group(g, "gbM1NewCardKey");
    m_edM1CardKeyA = upperEdit(m_gbM1NewCardKey, "edM1CardKeyA", transportKey, 12);
    m_edM1CardKeyB = upperEdit(m_gbM1NewCardKey, "edM1CardKeyB", transportKey, 12);
    m_edM1CardKeyAccess = upperEdit(m_gbM1NewCardKey, "edM1CardKeyAccess", QStringLiteral("FF078069"), 12);
    auto *nk = compact(new QGridLayout(m_gbM1NewCardKey));
    nk->addWidget(label(m_gbM1NewCardKey, "lblM1CardKeyA", QStringLiteral("Key A:")), 0, 0);
    nk->addWidget(m_edM1CardKeyA, 0, 1);
    nk->addWidget(label(m_gbM1NewCardKey, "lblM1CardKeyB", QStringLiteral("Key B:")), 1, 0);
    nk->addWidget(m_edM1CardKeyB, 1, 1);
    nk->addWidget(label(m_gbM1NewCardKey, "Label2", QStringLiteral("Access bits:")), 2, 0);
    nk->addWidget(m_edM1CardKeyAccess, 2, 1);
    // Why a trailer was not written, right under the box that caused it.
    m_lblAccessProblem = problemLabel(m_gbM1NewCardKey, "lblAccessProblem");
    nk->addWidget(m_lblAccessProblem, 3, 0, 1, 2);
    connect(m_edM1CardKeyAccess, &QLineEdit::textChanged, this, [this] { showProblem(m_lblAccessProblem, {}); });

    m_btnM1CardKey = button(g, "btnM1CardKey");
    auto *key = compact(new QGridLayout(g));
    addBarRow(key, 0, m_lblM1CardSector, sector);
    key->addWidget(m_gbCardKeyOld, 1, 0, 1, 3);
    key->addWidget(m_gbM1NewCardKey, 2, 0, 1, 3);
    key->addWidget(m_btnM1CardKey, 3, 0, 1, 3);
    key->setColumnStretch(1, 1);
    key->setRowStretch(4, 1);

    m_gbM1Access = buildAccessEditor();
    connect(m_btnM1CardKey, &QPushButton::clicked, this, &MifareKeyPage::btnM1CardKeyClick);

    auto *page = compact(new QHBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbM1Key, 2);
    page->addWidget(m_gbM1Access, 3);

    applyLanguage();
    keepOwnFont({"gbblock0", "gbblock1", "gbblock2", "gbAccKeyA", "gbAccBits", "gbAccKeyB"});
}

QGroupBox *MifareKeyPage::buildAccessEditor()
{
    QGroupBox *editor = group(this, "gbM1Access", QStringLiteral("Access bits (key)"));
    auto *grid = compact(new QGridLayout(editor));
    for (int b = 0; b < int(std::size(AccessBoxes)); ++b) {
        const AccessBox &box = AccessBoxes[b];
        QGroupBox *gb = group(editor, box.name, QLatin1String(box.caption));
        auto *sets = compact(new QGridLayout(gb));
        sets->setVerticalSpacing(0);
        for (int s = 0; s < box.setCount; ++s) {
            const AccessSet &set = box.sets[s];
            sets->addWidget(label(gb, nullptr, QLatin1String(set.caption)), 0, s);
            auto *buttons = new QButtonGroup(gb);
            for (int c = 0; c < 3; ++c) {
                const AccessChoice &choice = set.choices[c];
                if (!choice.button)
                    continue;
                const QByteArray name = "RadioButton" + QByteArray::number(choice.button);
                QRadioButton *rb = radio(gb, name.constData(), QLatin1String(choice.caption), choice.initial);
                buttons->addButton(rb);
                m_access[choice.button] = rb;
                // A click, by mouse or keyboard, selects the whole row.
                connect(rb, &QRadioButton::clicked, this, [this, n = choice.button] { SelectAccessRow(n); });
                sets->addWidget(rb, 1 + c, s);
            }
        }
        sets->setRowStretch(4, 1);
        // Data blocks on the left, the trailer's three groups beside them.
        grid->addWidget(gb, b % 3, b / 3);
    }
    return editor;
}

void MifareKeyPage::applyLanguage()
{
    // clang-format off
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbM1Key, "Write Key To Card"},
        {m_gbCardKeyOld, "Old key:"},
        {m_gbM1NewCardKey, "New key:"},
        {m_btnM1CardKey, "Issue MIFARE Card"},
        {m_lblM1CardSector, "Sector:"},
    };
    // clang-format on
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

void MifareKeyPage::SelectAccessRow(int number)
{
    const AccessButton *clicked = accessButton(number);
    if (!clicked)
        return;
    if (clicked->relabel != Relabel::None) {
        // Where key B can be read it cannot authenticate: the data blocks' "A/B" is then just "A".
        const QString caption = clicked->relabel == Relabel::ToA ? QStringLiteral("A") : QStringLiteral("A/B");
        for (const AccessButton &b : accessButtons())
            if (b.block != TrailerIndex && b.who == Who::AB)
                m_access[b.number]->setText(caption);
    }
    for (const AccessButton &b : accessButtons())
        if (b.block == clicked->block)
            m_access[b.number]->setChecked(rowChoice(b.block, clicked->row, b.op) == b.who);
    RecomputeAccessBits();
}

void MifareKeyPage::RecomputeAccessBits()
{
    m_context.pause.processPending();
    std::array<int, 4> rows{};
    for (int block = 0; block < 4; ++block)
        rows[block] = matchingRow(block, [&](Op op, Who who) {
            for (const AccessButton &b : accessButtons())
                if (b.block == block && b.op == op && b.who == who)
                    return m_access[b.number]->isChecked();
            return false;
        });
    m_edM1CardKeyAccess->setText(accessText(accessBytes(rows)));
}

void MifareKeyPage::btnM1CardKeyClick()
{
    const QString transportKey = QStringLiteral("FFFFFFFFFFFF");
    const std::uint8_t keyType = KeyTypeByte(m_rbM1CardKeyA->isChecked());
    const QByteArray oldKey = ParseHexField(m_edM1CardOldKey, 6, transportKey).bytes;
    const int sector = m_sbM1CardSector->value();

    // Key A, access bytes with the user byte, key B: read as one text.
    const QString joined = m_edM1CardKeyA->text() + m_edM1CardKeyAccess->text() + m_edM1CardKeyB->text();
    const std::optional<QByteArray> trailer = parseHexBytes(joined, BlockSize);
    if (!trailer) {
        // The boxes go back to the card's transport configuration, and nothing is written.
        m_edM1CardKeyA->setText(transportKey);
        m_edM1CardKeyAccess->setText(QStringLiteral("FF078069"));
        m_edM1CardKeyB->setText(transportKey);
        m_context.reporter.ShowCommandError();
        return;
    }
    // The one trailer guard: never invalid access bytes, never a permanent condition without a Yes.
    if (!trailerWriteAllowed(m_context, sector, trailerBlock(sector), *trailer, m_lblAccessProblem))
        return;
    const MifareKey key{keyType, oldKey};
    report(m_context, cardCommand(m_context, mifareWriteFrame(key, sector, trailerBlock(sector), *trailer),
                                  ReaderLink::DefaultResponseLimit));
}

}  // namespace kv350::cards
