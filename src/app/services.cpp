#include "services.h"

#include "tonepcm.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

Q_LOGGING_CATEGORY(lcTone, "kv350.app.tone", QtWarningMsg)

namespace kv350 {

void QtDialogs::message(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::confirm(const Confirmation &question)
{
    QMessageBox box(QMessageBox::Warning, question.caption, question.text, QMessageBox::NoButton, m_parent);
    QAbstractButton *yes = box.addButton(question.yes, QMessageBox::YesRole);
    QPushButton *no = box.addButton(question.no, QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QString QtDialogs::openFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, caption, QString(), filter);
}

QString QtDialogs::saveFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(m_parent, caption, QString(), filter);
}

namespace {

// A box with a text, a table under it, and the buttons given; the answer is
// whether the first button was pressed. The last button is the default and
// Escape's: for a question, No.
bool tableBox(QWidget *parent, const QString &caption, const QString &text, const TextTable &table,
              const QStringList &buttons)
{
    QDialog box(parent);
    box.setWindowTitle(caption);
    auto *layout = new QVBoxLayout(&box);
    auto *label = new QLabel(text, &box);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *grid = new QTableWidget(int(table.rows.size()), int(table.headings.size()), &box);
    grid->setObjectName(QStringLiteral("tblSettings"));
    grid->setHorizontalHeaderLabels(table.headings);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    for (int r = 0; r < table.rows.size(); ++r)
        for (int c = 0; c < table.rows[r].size() && c < table.headings.size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(table.rows[r][c]));
    grid->resizeColumnsToContents();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setMinimumWidth(std::min(900, grid->horizontalHeader()->length() + 24));
    layout->addWidget(grid);
    auto *row = new QHBoxLayout;
    row->addStretch();
    QPushButton *first = nullptr;
    QPushButton *last = nullptr;
    for (const QString &b : buttons) {
        auto *button = new QPushButton(b, &box);
        QObject::connect(button, &QPushButton::clicked, &box,
                         [&box, button, &first] { box.done(button == first ? QDialog::Accepted : QDialog::Rejected); });
        if (!first)
            first = button;
        last = button;
        row->addWidget(button);
    }
    if (last) {
        last->setDefault(true);
        last->setFocus();
    }
    layout->addLayout(row);
    box.resize(std::max(box.sizeHint().width(), 560), std::min(520, box.sizeHint().height() + 120));
    return box.exec() == QDialog::Accepted && buttons.size() > 1;
}

}  // namespace

bool QtDialogs::confirmTable(const Confirmation &question, const TextTable &table)
{
    return tableBox(m_parent, question.caption, question.text, table, {question.yes, question.no});
}

void QtDialogs::showTable(const QString &caption, const QString &text, const TextTable &table)
{
    tableBox(m_parent, caption, text, table, {QStringLiteral("OK")});
}

QStringList tonePlayerDirs()
{
#ifdef KV350_TONE_PLAYER_FROM_BIN
    const QString here = QCoreApplication::applicationDirPath();
    return {here, QDir::cleanPath(here + QStringLiteral("/" KV350_TONE_PLAYER_FROM_BIN))};
#else
    return {};
#endif
}

namespace {

// Marks on a player process: why this sounder killed it.
constexpr char SupersededMark[] = "kv350ToneSuperseded";
constexpr char HungMark[] = "kv350ToneHung";

// The player's own words on stderr, kept short for the log.
QString playerSaid(QProcess *process)
{
    return QString::fromLocal8Bit(process->readAllStandardError()).trimmed().left(300);
}

}  // namespace

ToneSounder::ToneSounder(Pause &pause, QStringList playerDirs, QObject *parent)
    : QObject(parent), m_pause(pause), m_playerDirs(std::move(playerDirs)), m_beep([] { QApplication::beep(); })
{
}

ToneSounder::~ToneSounder()
{
    // No player outlives the window: kill and reap each one here, before
    // QObject deletes them (which would warn and wait for a running one).
    const QList<QProcess *> players = findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    for (QProcess *process : players) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
    qDeleteAll(players);
}

int ToneSounder::playersRunning() const
{
    const QList<QProcess *> players = findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    return int(std::count_if(players.begin(), players.end(),
                             [](const QProcess *p) { return p->state() != QProcess::NotRunning; }));
}

QString ToneSounder::player()
{
    if (!m_looked) {
        m_looked = true;
        // An empty list is a build without a player, not a reason to search PATH.
        if (!m_playerDirs.isEmpty())
            m_player = QStandardPaths::findExecutable(QStringLiteral("kv350-tone"), m_playerDirs);
    }
    return m_player;
}

void ToneSounder::standIn(Failure kind, const QString &reason)
{
    const unsigned bit = 1u << unsigned(kind);
    if (!(m_said & bit)) {
        m_said |= bit;
        qCWarning(lcTone).noquote() << reason;
    }
}

void ToneSounder::tone(int frequencyHz, int durationMs)
{
    // Never two tones at once, nor a pile of players: the one before stops here.
    if (m_current && m_current->state() != QProcess::NotRunning) {
        m_current->setProperty(SupersededMark, true);
        m_current->kill();
    }
    m_current = nullptr;

    const bool playable = frequencyHz >= ToneMinHz && frequencyHz <= ToneMaxHz && durationMs >= ToneMinMs &&
                          durationMs <= ToneMaxMs;
    const QString program = playable ? player() : QString();
    if (!playable || program.isEmpty()) {
        if (playable && !m_playerDirs.isEmpty())
            standIn(Failure::Missing, QStringLiteral("no tone player (kv350-tone) in %1; the system beep stands in "
                                                     "for the tones")
                                          .arg(m_playerDirs.join(QStringLiteral(", "))));
        m_beep();
        m_pause.wait(durationMs);
        return;
    }

    auto *process = new QProcess(this);
    process->setProgram(program);
    process->setArguments({QString::number(frequencyHz), QString::number(durationMs)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this, process] { ended(process, true); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(process, false);
    });
    // A player still running well after its tone should have ended waits on
    // a sound server that does not answer; nothing here waits on it.
    QTimer::singleShot(durationMs + m_hangGraceMs, process, [process] {
        if (process->state() != QProcess::NotRunning) {
            process->setProperty(HungMark, true);
            process->kill();
        }
    });
    m_current = process;
    process->start();
    m_pause.wait(durationMs);
}

void ToneSounder::ended(QProcess *process, bool started)
{
    if (!started) {
        standIn(Failure::NoStart, QStringLiteral("the tone player %1 could not be started (%2); the system beep "
                                                 "stands in for the tones")
                                      .arg(process->program(), process->errorString()));
        m_beep();
    } else if (process->property(HungMark).toBool()) {
        // Its tone's time is long over: a beep now would report nothing.
        standIn(Failure::Hung, QStringLiteral("the tone player was still running %1 ms after its tone should have "
                                              "ended and was killed: the sound server does not answer")
                                   .arg(m_hangGraceMs));
    } else if (process->property(SupersededMark).toBool()) {
        // Cut short by the next tone, as meant.
    } else if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) {
        // Played to the end.
    } else if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 3) {
        standIn(Failure::NoOutput,
                QStringLiteral("the system beep stands in for the tones: %1").arg(playerSaid(process)));
        m_beep();
    } else {
        const QString how = process->exitStatus() == QProcess::NormalExit
                                ? QStringLiteral("ended with status %1").arg(process->exitCode())
                                : QStringLiteral("crashed");
        standIn(Failure::Broken, QStringLiteral("the tone player %1 %2 (%3); the system beep stands in")
                                     .arg(process->program(), how, playerSaid(process)));
        m_beep();
    }
    process->deleteLater();
    emit playerEnded();
}

}  // namespace kv350
