// Writes the seed corpora of fuzz/corpus/ from real frames (tests/data's golden
// request/reply pairs and the boot-loader session), firmware files made by
// packKfwFile, and the UHF module's texts. Run it again after changing an
// input layout:  build-asan/fuzz/kv350-fuzz-seeds fuzz/corpus
#include "common/protocol.h"
#include "firmware/kfwfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <vector>

namespace {

struct Pair {
    QString name;
    QByteArray request;
    QByteArray reply;
};

std::vector<Pair> readPairs(const QString &path)
{
    std::vector<Pair> pairs;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return pairs;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('|'));
        if (f.size() != 3 && f.size() != 4)  // the fourth column names a model
            continue;
        pairs.push_back({f[0].trimmed(), QByteArray::fromHex(f[1].toLatin1()), QByteArray::fromHex(f[2].toLatin1())});
    }
    return pairs;
}

class Corpus {
public:
    explicit Corpus(const QString &root) : m_root(root) {}
    void put(const QString &target, const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(m_root + QLatin1Char('/') + target);
        QFile file(m_root + QLatin1Char('/') + target + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            m_failed = true;
        }
        ++m_count;
    }
    bool failed() const { return m_failed; }
    int count() const { return m_count; }

private:
    QString m_root;
    bool m_failed = false;
    int m_count = 0;
};

QByteArray u8(int v)
{
    return QByteArray(1, char(v & 0xFF));
}

QByteArray u16(int v)
{
    return u8(v) + u8(v >> 8);
}

QByteArray prefixed(const QByteArray &bytes)
{
    return u8(int(bytes.size())) + bytes;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// frame: cuts, lengths, stream.
void frameSeeds(Corpus &c, const std::vector<Pair> &pairs)
{
    for (const Pair &p : pairs) {
        c.put("frame", p.name, u8(0) + p.reply);
        c.put("frame", p.name + "-cut", u8(3) + u8(0) + u8(1) + u8(2) + p.reply);
    }
    const QByteArray serial = pairs.front().reply;
    c.put("frame", "noise-then-frame", u8(0) + hex("FF00A5") + serial);
    c.put("frame", "zero-padding", u8(0) + QByteArray(16, '\0') + serial);
    c.put("frame", "false-stx", u8(1) + u8(1) + hex("02FF") + serial);
    c.put("frame", "two-frames", u8(0) + serial + pairs[1].reply);
    c.put("frame", "len-0-and-1", u8(0) + hex("0200") + hex("0201") + serial);
    c.put("frame", "len-255", u8(0) + hex("02FF") + QByteArray(300, '\x11') + serial);
    c.put("frame", "len-254-wraps", u8(0) + hex("02FE") + QByteArray(254, '\x02') + hex("02020D00"));
    c.put("frame", "flood", u8(0) + QByteArray(300, '\x02') + serial);
    c.put("frame", "flood-then-frame", u8(1) + u8(63) + QByteArray(64, '\x33') + QByteArray(300, '\x02') + serial);
}

// response: CMD, limit (u16, minus 32), request DATA, reports (delay, length, bytes).
void responseSeeds(Corpus &c, const std::vector<Pair> &pairs)
{
    for (const Pair &p : pairs) {
        const QByteArray head = u8(quint8(p.request[2])) + u16(64 + 32) + prefixed(p.request.mid(3));
        c.put("response", p.name, head + u8(0) + u8(int(p.reply.size())) + p.reply);
        c.put("response", p.name + "-noise-report",
              head + u8(5) + u8(2) + hex("FFFF") + u8(0) + u8(int(p.reply.size())) + p.reply);
    }
    const QByteArray head = u8(0x03) + u16(256 + 32) + prefixed(hex("41"));
    // A reply of 80 bytes in two reports, and one whose rest never comes.
    QByteArray longReply = hex("024E0300") + QByteArray(76, '\x41');
    c.put("response", "two-reports", head + u8(0) + u8(64) + longReply.left(64) + u8(10) + u8(16) + longReply.mid(64));
    c.put("response", "rest-never-comes", head + u8(0) + u8(64) + longReply.left(64));
    c.put("response", "late", head + u8(255) + u8(2) + hex("FFFF") + u8(255) + u8(4) + hex("02020300"));
    c.put("response", "device-gone", head + u8(3) + u8(0));
}

// transaction: transport, then per request: op, CMD, DATA, limit, gap, pieces
// (arrival in 4 ms, kind, payload).
void transactionSeeds(Corpus &c, const std::vector<Pair> &pairs)
{
    for (int usb = 0; usb < 2; ++usb) {
        QByteArray all = u8(usb);
        for (const Pair &p : pairs) {
            all += u8(0) + u8(quint8(p.request[2])) + prefixed(p.request.mid(3)) + u8(64) + u8(10) + u8(1) + u8(0) +
                   u8(0) + prefixed(p.reply);
        }
        c.put("transaction", usb ? "golden-usb" : "golden-serial", all);

        const Pair &p = pairs[2];
        const QByteArray request = u8(quint8(p.request[2])) + prefixed(p.request.mid(3)) + u8(64) + u8(0);
        // Late (600 ms), then the same request again: the late reply must not be taken.
        c.put("transaction", QString(usb ? "late-usb" : "late-serial"),
              u8(usb) + u8(0) + request + u8(1) + u8(150) + u8(0) + prefixed(p.reply) + u8(0) + request + u8(0));
        // Two replies, wrong CMD first, then split in single bytes.
        QByteArray pieces = u8(5) + u8(0) + u8(2) + u8(0x05) + prefixed(hex("00"));
        for (int i = 0; i < 4; ++i)
            pieces += u8(1 + i) + u8(0) + prefixed(i < 3 ? p.reply.mid(i, 1) : p.reply.mid(i));
        c.put("transaction", QString(usb ? "wrong-cmd-then-split-usb" : "wrong-cmd-then-split-serial"),
              u8(usb) + u8(0) + request.left(request.size() - 1) + u8(0) + pieces);
        // The device goes away, the next open fails, then it is back.
        c.put("transaction", QString(usb ? "gone-usb" : "gone-serial"),
              u8(usb) + u8(0) + request + u8(1) + u8(2) + u8(1) + prefixed({}) + u8(2) + request + u8(0) + u8(0) +
                  request + u8(1) + u8(0) + u8(0) + prefixed(p.reply));
        // A framed reply with every status, and a read without a request.
        c.put("transaction", QString(usb ? "framed-status-usb" : "framed-status-serial"),
              u8(usb) + u8(0) + request + u8(2) + u8(0) + u8(2) + u8(0) + prefixed(hex("10")) + u8(0) + u8(2) + u8(0) +
                  prefixed(hex("00AA")) + u8(1) + request + u8(1) + u8(0) + u8(0) + prefixed(p.reply));
    }
    // A flood of 0x02 bytes, more than the port holds at once.
    c.put("transaction", "flood-serial",
          u8(0) + u8(0) + u8(0x0D) + prefixed({}) + u8(64) + u8(0) + u8(2) + u8(0) + u8(0) +
              prefixed(QByteArray(255, '\x02')) + u8(0) + u8(0) + prefixed(QByteArray(255, '\x02')));
}

// hextext: form of the text, n, text.
void hextextSeeds(Corpus &c)
{
    const char *texts[] = {"02 01 0D ",
                           "02 02 03 03 ",
                           "02 0A 15 60 FF FF FF FF FF FF 01 00 ",
                           "FFFFFFFFFFFF",
                           "00112233445566778899AABBCCDDEEFF",
                           "F",
                           "0g 1h",
                           "R1,2,6",
                           "W3,0,2,12345678",
                           "x01",
                           "02 01 0D\n0E 0F"};
    int i = 0;
    for (const char *t : texts) {
        c.put("hextext", QStringLiteral("latin1-%1").arg(i), u8(0) + u8(16) + QByteArray(t));
        c.put("hextext", QStringLiteral("utf8-%1").arg(i), u8(1) + u8(6) + QByteArray(t));
        ++i;
    }
    c.put("hextext", "utf8-chinese", u8(1) + u8(4) + QString::fromUtf8("读卡 ÄB").toUtf8());
    const QString wide = QString::fromUtf8("0\u0661 FF \u00E9 ");
    c.put("hextext", "utf16",
          u8(2) + u8(2) + QByteArray(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2));
}

// kfw: whole files.
void kfwSeeds(Corpus &c)
{
    using namespace kv350::firmware;
    QByteArray program = QByteArray("KV350-MIC   V2.0");
    for (int i = 0; i < 200; ++i)
        program.append(char(i * 7));
    c.put("kfw", "mic-v2.KFW", packKfwFile("KV350-MIC", "V2.0", program));
    c.put("kfw", "lf-x-empty.KFW", packKfwFile("KV350-LF-X", "V1.1", {}));
    c.put("kfw", "full-width-header.KFW", packKfwFile("KV350-MIC-XY", "V9.9", program.left(20)));
    c.put("kfw", "over-0x3400.KFW", packKfwFile("KV350-U1", "V3.0", QByteArray(MaxFirmwareLength + 40, '\x5A')));
    c.put("kfw", "header-only.KFW", packKfwFile("KV350-A1", "V1.0", {}).left(KfwHeaderSize));
    c.put("kfw", "short.KFW", packKfwFile("KV350-A1", "V1.0", {}).left(KfwHeaderSize - 1));
}

// reader: model, cards, then requests (form, CMD, DATA).
void readerSeeds(Corpus &c, const std::vector<Pair> &pairs, const std::vector<Pair> &boot)
{
    QByteArray golden = u8(2) + u8(0);  // KV350-MIC, no card
    for (const Pair &p : pairs)
        golden += u8(0) + u8(quint8(p.request[2])) + prefixed(p.request.mid(3));
    c.put("reader", "golden", golden);
    QByteArray session = u8(2) + u8(0);
    for (const Pair &p : boot)
        session += u8(0) + u8(quint8(p.request[2])) + prefixed(p.request.mid(3));
    c.put("reader", "boot-loader-session", session);

    const QByteArray key = hex("FFFFFFFFFFFF");
    QByteArray mifare = u8(2) + u8(1);  // a 1K card
    mifare += u8(0) + u8(0x12) + prefixed(hex("60") + key + hex("01"));
    mifare += u8(0) + u8(0x15) + prefixed(hex("60") + key + hex("0100"));
    mifare += u8(0) + u8(0x15) + prefixed(hex("600102"));
    mifare += u8(0) + u8(0x16) + prefixed(hex("60") + key + hex("0101") + QByteArray(16, '\x33'));
    mifare += u8(0) + u8(0x16) + prefixed(hex("60") + key + hex("0103") + key + hex("FF078069") + key);
    mifare += u8(0) + u8(0x01) + prefixed(hex("01")) + u8(0) + u8(0x11) + prefixed({});
    c.put("reader", "mifare-1k", mifare);
    c.put("reader", "mifare-4k-sector-39", u8(2) + u8(2) + u8(0) + u8(0x15) + prefixed(hex("60") + key + hex("270F")));
    c.put("reader", "uhf",
          u8(1) + u8(4) + u8(0) + u8(0x00) + prefixed("R1,2,6") + u8(0) + u8(0x00) + prefixed("W3,0,1,ABCD\r"));
    c.put("reader", "raw-frames",
          u8(2) + u8(0) + u8(1) + u8(0x02) + prefixed(hex("FF0D")) + u8(1) + u8(0x02) + prefixed(hex("000D")) + u8(0) +
              u8(0x80) + prefixed({}));
    // User memory up to its last byte, the edge an off-by-one crosses.
    c.put("reader", "user-data-edge",
          u8(3) + u8(0) + u8(0) + u8(0x0C) + prefixed(hex("00F8080102030405060708")) + u8(0) + u8(0x0C) +
              prefixed(hex("00F808")) + u8(0) + u8(0x0C) + prefixed(hex("00FF01")));
}

// uhf: model, tags, then texts (form, text).
void uhfSeeds(Corpus &c)
{
    const char *texts[] = {"R1,2,6",
                           "R2,0,6",
                           "R3,0,32",
                           "W3,0,2,12345678",
                           "W1,2,6,300833B2DDD9014000000001",
                           "x01",
                           "x02",
                           "Zx",
                           "Zi",
                           "A3",
                           "A0",
                           "W0B01F7",
                           "W0E035E3B13",
                           "W3000,1,1"};
    QByteArray plain = u8(0) + u8(1);
    QByteArray wrapped = u8(1) + u8(2 | 8);
    for (const char *t : texts) {
        plain += u8(0) + prefixed(t);
        wrapped += u8(1) + prefixed(t);
    }
    c.put("uhf", "texts-plain", plain);
    c.put("uhf", "texts-wrapped", wrapped);
    c.put("uhf", "no-module", u8(3) + u8(1) + u8(0) + prefixed("R1,2,6"));
    c.put("uhf", "raw-check-wrong", u8(0) + u8(1) + u8(2) + prefixed(hex("015231") + "00\r"));
    c.put("uhf", "no-tag", u8(1) + u8(0) + u8(0) + prefixed("R1,2,6") + u8(0) + prefixed("W3,0,1,0000"));
}

// access: four rows, three bytes.
void accessSeeds(Corpus &c)
{
    c.put("access", "transport", u8(0) + u8(0) + u8(0) + u8(1) + hex("FF0780"));
    c.put("access", "value-blocks", u8(6) + u8(1) + u8(0) + u8(3) + hex("7F0788"));
    c.put("access", "no-rows", u8(8) + u8(9) + u8(200) + u8(255) + hex("000000"));
    c.put("access", "all-rows-7", u8(7) + u8(7) + u8(7) + u8(7) + hex("FFFFFF"));
}

// ndef: a text to build, then a tag's bytes from page 3 on.
void ndefSeeds(Corpus &c)
{
    const QByteArray blank = hex("E1101200 0103A01044 0300FE") + QByteArray(133, '\0');
    const QByteArray written = hex("E1101200 0103A010 440311D1 010D5502 6578616D 706C652E 636F6D2F FE");
    c.put("ndef", "sample-on-blank", prefixed("https://www.example.com/") + blank);
    c.put("ndef", "host-on-written", prefixed("example.com/") + written + QByteArray(148 - written.size(), '\0'));
    c.put("ndef", "tel-three-byte-length", prefixed("tel:+123") + hex("E1101200 03FF000B C9010000000201550705 31FE"));
    c.put("ndef", "two-records", prefixed("mailto:a@b") + hex("E1101200 030F 91010454 02656E41 51010355 04782E FE"));
    c.put("ndef", "damaged", prefixed("http://x") + hex("E1100100 0309 D1010555 01 61626364 FE"));
    c.put("ndef", "too-long", prefixed("http://" + QByteArray(140, 'x')) + hex("00000000"));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const QString data = QStringLiteral(KV350_TEST_DATA);
    const std::vector<Pair> pairs = readPairs(data + QStringLiteral("/golden_frames.txt"));
    const std::vector<Pair> boot = readPairs(data + QStringLiteral("/bootloader_session.txt"));
    if (pairs.size() < 3 || boot.empty()) {
        std::fprintf(stderr, "cannot read the golden frames in %s\n", qPrintable(data));
        return 1;
    }
    Corpus corpus(QString::fromLocal8Bit(argv[1]));
    frameSeeds(corpus, pairs);
    responseSeeds(corpus, pairs);
    transactionSeeds(corpus, pairs);
    hextextSeeds(corpus);
    kfwSeeds(corpus);
    readerSeeds(corpus, pairs, boot);
    uhfSeeds(corpus);
    accessSeeds(corpus);
    ndefSeeds(corpus);
    std::printf("%d seeds written to %s\n", corpus.count(), argv[1]);
    return corpus.failed() ? 1 : 0;
}
