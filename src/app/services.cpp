#include "services.h"

#include "audiooutput.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

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

QByteArray sineTonePcm(int frequencyHz, int durationMs, int sampleRate)
{
    const int samples = std::max(0, int(std::int64_t(sampleRate) * durationMs / 1000));
    const int fade = std::min(samples / 2, sampleRate / 200);  // 5 ms
    QByteArray pcm(samples * int(sizeof(std::int16_t)), Qt::Uninitialized);
    auto *out = reinterpret_cast<std::int16_t *>(pcm.data());
    const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (int i = 0; i < samples; ++i) {
        double gain = 0.5;
        if (i < fade)
            gain *= double(i) / fade;
        else if (i >= samples - fade)
            gain *= double(samples - 1 - i) / fade;
        out[i] = std::int16_t(std::lround(gain * 32767.0 * std::sin(step * i)));
    }
    return pcm;
}

QStringList audioModuleDirs()
{
    const QString here = QCoreApplication::applicationDirPath();
    return {here, QDir::cleanPath(here + QStringLiteral("/" KV350_AUDIO_MODULE_FROM_BIN))};
}

ToneSounder::ToneSounder(Pause &pause, QStringList moduleDirs) : m_pause(pause), m_moduleDirs(std::move(moduleDirs)) {}

ToneSounder::~ToneSounder() = default;

AudioOutput *ToneSounder::output()
{
    if (m_tried)
        return m_output.get();
    m_tried = true;
    QStringList failures;
    for (const QString &dir : m_moduleDirs) {
        // Never unloaded: the output it made lives as long as this sounder.
        QLibrary module(dir + QStringLiteral("/kv350tone"));
        if (!module.load()) {
            failures.append(module.errorString());
            continue;
        }
        const auto create = reinterpret_cast<Kv350CreateAudioOutput>(module.resolve(KV350_AUDIO_OUTPUT_FACTORY));
        if (create) {
            m_output.reset(create());
            return m_output.get();
        }
        failures.append(module.errorString());
    }
    qCWarning(lcTone).noquote() << "no audio module; the system beep stands in for the tones:"
                                << failures.join(QStringLiteral("; "));
    return nullptr;
}

void ToneSounder::tone(int frequencyHz, int durationMs)
{
    AudioOutput *out = frequencyHz > 0 ? output() : nullptr;
    if (!out || !out->play(sineTonePcm(frequencyHz, durationMs, SampleRate), SampleRate)) {
        QApplication::beep();
        m_pause.wait(durationMs);
        return;
    }
    m_pause.wait(durationMs);
    out->stop();
}

}  // namespace kv350
