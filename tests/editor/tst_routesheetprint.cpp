#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "editor/routesheet.h"
#include "editor/printers.h"
#include "editor/routesheetprint.h"
#include "platform/fakeplatform.h"
#include "platform/guard.h"

#include <QFile>
#include <QFontInfo>
#include <QHash>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Reads back what QPrinter wrote into a PDF file: the pages in order and,
// for each, the texts drawn on it with the device position of their first
// glyph, decoded through the fonts' ToUnicode maps.
class PdfReader
{
public:
    struct Text
    {
        QString text;
        QPointF origin; // left end of the baseline, in device pixels
    };

    explicit PdfReader(const QByteArray &bytes)
    {
        const QString pdf = QString::fromLatin1(bytes);
        static const QRegularExpression objectPattern(
            QStringLiteral("(\\d+) 0 obj(.*?)endobj"),
            QRegularExpression::DotMatchesEverythingOption);
        for (auto it = objectPattern.globalMatch(pdf); it.hasNext();) {
            const auto m = it.next();
            Object object;
            const QString body = m.captured(2);
            const qsizetype start = body.indexOf(QStringLiteral("stream"));
            object.dictionary = start < 0 ? body : body.left(start);
            if (start >= 0) {
                qsizetype from = start + 6;
                while (from < body.size() && (body.at(from) == '\r' || body.at(from) == '\n'))
                    ++from;
                const qsizetype end = body.lastIndexOf(QStringLiteral("endstream"));
                QByteArray data = body.mid(from, end - from).toLatin1();
                if (object.dictionary.contains(QStringLiteral("/FlateDecode")))
                    data = inflate(data);
                object.stream = data;
            }
            m_objects.insert(m.captured(1).toInt(), object);
        }
        readPages();
    }

    int pageCount() const { return int(m_pages.size()); }
    const QList<Text> &page(int i) const { return m_pages.at(i); }
    QStringList texts(int i) const
    {
        QStringList list;
        for (const Text &t : m_pages.at(i))
            list.append(t.text);
        return list;
    }
    // The page's size in points, from its media box.
    QSizeF pageSize(int i) const
    {
        static const QRegularExpression box(
            QStringLiteral("/MediaBox\\s*\\[\\s*[0-9.]+\\s+[0-9.]+\\s+([0-9.]+)\\s+([0-9.]+)"));
        const auto m = box.match(m_objects.value(m_pageObjects.at(i)).dictionary);
        return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    }

private:
    struct Object
    {
        QString dictionary;
        QByteArray stream;
    };

    static QByteArray inflate(const QByteArray &data)
    {
        // qUncompress wants the expected size in front, and grows its buffer
        // when the guess is short.
        QByteArray sized(4, '\0');
        const quint32 guess = quint32(data.size()) * 16 + 4096;
        for (int i = 0; i < 4; ++i)
            sized[i] = char((guess >> (24 - 8 * i)) & 0xff);
        return qUncompress(sized + data);
    }

    static int reference(const QString &dictionary, const QString &key)
    {
        const QRegularExpression pattern(QRegularExpression::escape(key) +
                                         QStringLiteral("\\s+(\\d+) 0 R"));
        const auto m = pattern.match(dictionary);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    static QString utf16(const QString &hex)
    {
        QString out;
        for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
            out.append(QChar(char16_t(hex.mid(i, 4).toUInt(nullptr, 16))));
        return out;
    }

    // Glyph code to text, from a ToUnicode CMap.
    QHash<uint, QString> toUnicode(int objectNumber) const
    {
        QHash<uint, QString> map;
        const QString cmap = QString::fromLatin1(m_objects.value(objectNumber).stream);
        static const QRegularExpression single(
            QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>"));
        static const QRegularExpression range(QStringLiteral(
            "<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(<[0-9A-Fa-f]+>|\\[[^\\]]*\\])"));
        static const QRegularExpression hexItem(QStringLiteral("<([0-9A-Fa-f]+)>"));
        for (const QString &block :
             sectionsOf(cmap, QStringLiteral("beginbfchar"), QStringLiteral("endbfchar"))) {
            for (auto it = single.globalMatch(block); it.hasNext();) {
                const auto m = it.next();
                map.insert(m.captured(1).toUInt(nullptr, 16), utf16(m.captured(2)));
            }
        }
        for (const QString &block :
             sectionsOf(cmap, QStringLiteral("beginbfrange"), QStringLiteral("endbfrange"))) {
            for (auto it = range.globalMatch(block); it.hasNext();) {
                const auto m = it.next();
                const uint low = m.captured(1).toUInt(nullptr, 16);
                const uint high = m.captured(2).toUInt(nullptr, 16);
                const QString target = m.captured(3);
                if (target.startsWith(QLatin1Char('['))) {
                    uint code = low;
                    for (auto item = hexItem.globalMatch(target); item.hasNext() && code <= high;)
                        map.insert(code++, utf16(item.next().captured(1)));
                } else {
                    const QString first = utf16(target.mid(1, target.size() - 2));
                    for (uint code = low; code <= high && !first.isEmpty(); ++code) {
                        QString t = first;
                        t.back() = QChar(char16_t(first.back().unicode() + (code - low)));
                        map.insert(code, t);
                    }
                }
            }
        }
        return map;
    }

    static QStringList sectionsOf(const QString &text, const QString &begin, const QString &end)
    {
        QStringList sections;
        qsizetype from = 0;
        while ((from = text.indexOf(begin, from)) >= 0) {
            const qsizetype to = text.indexOf(end, from);
            if (to < 0)
                break;
            sections.append(text.mid(from + begin.size(), to - from - begin.size()));
            from = to;
        }
        return sections;
    }

    void readPages()
    {
        int root = -1;
        for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
            if (it->dictionary.contains(QStringLiteral("/Type /Pages")))
                root = it.key();
        }
        if (root < 0)
            return;
        const QString pages = m_objects.value(root).dictionary;
        const QString kids = pages.mid(pages.indexOf(QStringLiteral("/Kids")));
        static const QRegularExpression ref(QStringLiteral("(\\d+) 0 R"));
        const QString kidList = kids.left(kids.indexOf(QLatin1Char(']')));
        for (auto it = ref.globalMatch(kidList); it.hasNext();)
            m_pageObjects.append(it.next().captured(1).toInt());
        for (int pageObject : m_pageObjects)
            m_pages.append(readPage(m_objects.value(pageObject).dictionary));
    }

    QList<Text> readPage(const QString &page) const
    {
        // The page's fonts by resource name.
        const int resourcesObject = reference(page, QStringLiteral("/Resources"));
        const QString resources = m_objects.value(resourcesObject).dictionary;
        QHash<QString, QHash<uint, QString>> fonts;
        static const QRegularExpression fontRef(QStringLiteral("/(F\\d+)\\s+(\\d+) 0 R"));
        for (auto it = fontRef.globalMatch(resources); it.hasNext();) {
            const auto m = it.next();
            const QString font = m_objects.value(m.captured(2).toInt()).dictionary;
            fonts.insert(m.captured(1), toUnicode(reference(font, QStringLiteral("/ToUnicode"))));
        }

        const QString content = QString::fromLatin1(
            m_objects.value(reference(page, QStringLiteral("/Contents"))).stream);
        QList<Text> texts;
        static const QRegularExpression token(
            QStringLiteral("<([0-9A-Fa-f]*)>|/(\\w+)|(-?[0-9.]+)|([A-Za-z*']+)"));
        QStringList operands;
        QHash<uint, QString> font;
        Text current;
        bool inText = false;
        bool placed = false;
        for (auto it = token.globalMatch(content); it.hasNext();) {
            const auto m = it.next();
            if (!m.captured(4).isEmpty()) {
                const QString op = m.captured(4);
                if (op == QLatin1String("BT")) {
                    inText = true;
                    placed = false;
                    current = Text();
                } else if (op == QLatin1String("ET")) {
                    if (inText && !current.text.isEmpty())
                        texts.append(current);
                    inText = false;
                } else if (op == QLatin1String("Tf") && operands.size() >= 2) {
                    font = fonts.value(operands.at(operands.size() - 2));
                } else if (op == QLatin1String("Td") && operands.size() >= 2 && !placed) {
                    current.origin = QPointF(operands.at(operands.size() - 2).toDouble(),
                                             -operands.last().toDouble());
                    placed = true;
                } else if (op == QLatin1String("Tj") && !operands.isEmpty()) {
                    const QString hex = operands.last();
                    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
                        current.text += font.value(hex.mid(i, 4).toUInt(nullptr, 16));
                }
                operands.clear();
            } else if (m.capturedStart(1) >= 0 && m.capturedLength(0) > 0 &&
                       m.captured(0).startsWith(QLatin1Char('<'))) {
                operands.append(m.captured(1));
            } else if (!m.captured(2).isEmpty()) {
                operands.append(m.captured(2));
            } else {
                operands.append(m.captured(3));
            }
        }
        // The space glyph is mapped back to a tab: both share it in the font.
        for (Text &t : texts)
            t.text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        return texts;
    }

    QMap<int, Object> m_objects;
    QList<int> m_pageObjects;
    QList<QList<Text>> m_pages;
};

constexpr int kRow = 3;

struct PrintedStage
{
    QString place, means, orientation, position, altitude, distance, time;
};

StringGrid printedStageGrid(const QList<PrintedStage> &stages)
{
    StringGrid grid(Itinerary::kColumns, Itinerary::kGridRows);
    for (int c = 0; c < Itinerary::kColumns; ++c)
        grid.setCell(c, 0, Itinerary::headerText(c));
    int row = 1;
    for (const PrintedStage &s : stages) {
        const QString cells[] = {s.place,    s.means,    s.orientation, s.position,
                                 s.altitude, s.distance, s.time};
        for (int c = 0; c < Itinerary::kColumns; ++c)
            grid.setCell(c, row, cells[c]);
        ++row;
    }
    return grid;
}

// The worked itinerary as the time computation leaves it: the second walking
// leg turned into "MM", the times from 08:00 to 11:30.
StringGrid printedItinerary()
{
    return printedStageGrid({{QStringLiteral("Le Village"), QStringLiteral("MP"), QStringLiteral("90"),
                       QStringLiteral("E4"), QStringLiteral("1000"), QStringLiteral("2000"),
                       QStringLiteral("08:00")},
                      {QStringLiteral("La Chapelle"), QStringLiteral("MM"), QStringLiteral("45"),
                       QStringLiteral("E5"), QStringLiteral("1000"), QStringLiteral("1000"),
                       QStringLiteral("08:30")},
                      {QStringLiteral("Le Refuge"),
                       QStringLiteral("PR"),
                       {},
                       QStringLiteral("E6"),
                       QStringLiteral("1300"),
                       {},
                       QStringLiteral("09:30")},
                      {QStringLiteral("Le Parking"),
                       QStringLiteral("VA"),
                       {},
                       {},
                       {},
                       QStringLiteral("100"),
                       QStringLiteral("10:30")},
                      {QStringLiteral("La Gare"), {}, {}, {}, {}, {}, QStringLiteral("11:30")}});
}

StringGrid catalogueGrid()
{
    StringGrid grid(Catalogue::kColumns, Catalogue::kRows);
    grid.setCell(Catalogue::Code, kRow, QStringLiteral("R1"));
    grid.setCell(Catalogue::Title, kRow, QStringLiteral("Tour du lac"));
    grid.setCell(Catalogue::Date, kRow, QStringLiteral("14/07/2024"));
    grid.setCell(Catalogue::Departure, kRow, QStringLiteral("08:00"));
    grid.setCell(Catalogue::Arrival, kRow, QStringLiteral("11:30"));
    return grid;
}

QByteArray utf16be(const QString &text)
{
    QByteArray bytes("\xfe\xff", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xff));
    }
    return bytes;
}

int countPageObjects(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    int count = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++count;
    return count;
}

} // namespace

// The route sheet printed through QPrinter into a PDF file, with the question
// and the print dialog answered by the fake platform.
class RouteSheetPrintTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_pdf = m_dir.filePath(QStringLiteral("%1.pdf").arg(QTest::currentTestFunction()));
        m_platform = FakePlatform();
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_platform.preparePrinter = [this](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(m_pdf);
        };
    }

    void sheetFontIsArialOrItsMetricTwin()
    {
        const QString family = QFontInfo(RouteSheet::font(14)).family();
        QVERIFY2(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"),
                 qPrintable(family));
    }

    void printsTheWorkedItinerary()
    {
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        QCOMPARE(m_platform.questions, QStringList{QStringLiteral("Impression de l'itinéraire ?")});
        QCOMPARE(m_platform.printDialogs, 1);
        QVERIFY(m_platform.errors.isEmpty());

        const QByteArray bytes = TestUtil::readBytes(m_pdf);
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(countPageObjects(bytes), 1);
        // The job title names the document.
        QVERIFY(bytes.contains(utf16be(QStringLiteral("Route de Tour du lac"))));

        const PdfReader pdf(bytes);
        QCOMPARE(pdf.pageCount(), 1);
        const QStringList expected = {"Tour du lac",
                                      "14/07/2024",
                                      "Le Village",
                                      "E4",
                                      "1000 m",
                                      "08:00 H",
                                      "P 90",
                                      "2000 m",
                                      "La Chapelle",
                                      "E5",
                                      "1000 m",
                                      "08:30 H",
                                      "M 45",
                                      "1000 m",
                                      "Le Refuge",
                                      "E6",
                                      "1300 m",
                                      "09:30 H",
                                      "R ",
                                      "Le Parking",
                                      "10:30 H",
                                      "A ",
                                      "100 Km",
                                      "La Gare",
                                      "11:30 H",
                                      "Kilomètrage en Voiture : 100 Km",
                                      "Distance à pied parcourue : 3000 m",
                                      "Dénivelée cumulée : 300 m"};
        QCOMPARE(pdf.texts(0), expected);
        QVERIFY(pdf.pageSize(0).width() > 0);
        QVERIFY(pdf.pageSize(0).width() < pdf.pageSize(0).height());
    }

    void textsSitWhereTheLayoutAnchorsThem()
    {
        // The layout measured with the printer's own metrics puts each text's
        // top-left corner; the painter draws its baseline one ascent lower.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdf);
        printer.setPageOrientation(QPageLayout::Portrait);
        const DeviceTextMetrics metrics(&printer);
        const QList<SheetOperation> ops = routeSheetLayout(
            printedItinerary(), QStringLiteral("Tour du lac"), QStringLiteral("14/07/2024"),
            QSize(printer.width(), printer.height()), metrics);
        printRouteSheet(printer, ops);

        const PdfReader pdf(TestUtil::readBytes(m_pdf));
        QCOMPARE(pdf.pageCount(), 1);
        QList<SheetOperation> texts;
        for (const SheetOperation &op : ops) {
            if (op.kind == SheetOperation::Kind::Text)
                texts.append(op);
        }
        QCOMPARE(pdf.page(0).size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            const QFontMetrics fm(RouteSheet::font(texts.at(i).pointSize), &printer);
            QCOMPARE(pdf.page(0).at(i).text, texts.at(i).text);
            QCOMPARE(qRound(pdf.page(0).at(i).origin.x()), texts.at(i).from.x());
            QCOMPARE(qRound(pdf.page(0).at(i).origin.y()), texts.at(i).from.y() + fm.ascent());
        }
        // The title is centred on page_x(917) with the printer's own width.
        const RouteSheetPage page(QSize(printer.width(), printer.height()));
        const QFontMetrics title(RouteSheet::font(24), &printer);
        QCOMPARE(texts.at(0).from.x(),
                 page.page_x(917) - title.horizontalAdvance(QStringLiteral("Tour du lac")) / 2);
        QCOMPARE(texts.at(0).from.y(), page.page_y(167) - title.height());
    }

    void thirtyStagesPrintOnTwoPages()
    {
        QList<PrintedStage> stages;
        for (int a = 1; a <= 30; ++a)
            stages.append({QStringLiteral("Lieu %1").arg(a),
                           QStringLiteral("MP"),
                           {},
                           {},
                           QString::number(1000 + a),
                           QStringLiteral("100"),
                           {}});
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedStageGrid(stages), catalogueGrid(), kRow);

        const QByteArray bytes = TestUtil::readBytes(m_pdf);
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(countPageObjects(bytes), 2);
        const PdfReader pdf(bytes);
        QCOMPARE(pdf.pageCount(), 2);
        QCOMPARE(pdf.texts(0).first(), QStringLiteral("Tour du lac"));
        QCOMPARE(pdf.texts(0).at(pdf.texts(0).size() - 4), QStringLiteral("Lieu 25"));
        QCOMPARE(pdf.texts(1).first(), QStringLiteral("Lieu 26"));
        QCOMPARE(pdf.texts(1).mid(pdf.texts(1).size() - 2),
                 (QStringList{QStringLiteral("Distance à pied parcourue : 2900 m"),
                              QStringLiteral("Dénivelée cumulée : 29 m")}));
    }

    void twentyFiveStagesPutTheTotalsOnANewPage()
    {
        QList<PrintedStage> stages;
        for (int a = 1; a <= 25; ++a)
            stages.append({QStringLiteral("Lieu %1").arg(a),
                           QStringLiteral("MP"),
                           {},
                           {},
                           QString::number(1000 + a),
                           QStringLiteral("100"),
                           {}});
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedStageGrid(stages), catalogueGrid(), kRow);
        const PdfReader pdf(TestUtil::readBytes(m_pdf));
        QCOMPARE(pdf.pageCount(), 2);
        QCOMPARE(pdf.texts(1), (QStringList{QStringLiteral("Distance à pied parcourue : 2400 m"),
                                            QStringLiteral("Dénivelée cumulée : 24 m")}));
    }

    void landscapeChoiceStillPrintsPortrait()
    {
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        m_platform.preparePrinter = [this](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(m_pdf);
            printer.setPageOrientation(QPageLayout::Landscape);
        };
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        const PdfReader pdf(TestUtil::readBytes(m_pdf));
        QCOMPARE(pdf.pageCount(), 1);
        QVERIFY(pdf.pageSize(0).width() > 0);
        QVERIFY(pdf.pageSize(0).width() < pdf.pageSize(0).height());
    }

    // The printer kept for route sheets: the second sheet is proposed in the
    // folder of the first, under its own title; titles become file names.
    void theNextSheetIsProposedBesideTheLast()
    {
        m_platform.confirmAnswers = {true, true};
        m_platform.printAnswers = {true, false};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        QCOMPARE(m_platform.printersShown.size(), 2);
        QCOMPARE(m_platform.printersShown[0].docName, QStringLiteral("Route de Tour du lac"));
        QCOMPARE(m_platform.printersShown[1].file, m_dir.filePath(QStringLiteral("Tour du lac.pdf")));
        QCOMPARE(PrintJob::fileName(QStringLiteral(" Col/Pic: \"A\"|B?\t ")),
                 QStringLiteral("Col-Pic- -A--B-"));
        QCOMPARE(PrintJob::fileName(QStringLiteral(" .. ")), QStringLiteral("impression"));
        QCOMPARE(PrintJob::fileName(QStringLiteral("")), QStringLiteral("impression"));
    }

    void noToTheQuestionShowsNoDialog()
    {
        m_platform.confirmAnswers = {false};
        m_platform.printAnswers = {true};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        QCOMPARE(m_platform.questions.size(), 1);
        QCOMPARE(m_platform.printDialogs, 0);
        QVERIFY(!QFile::exists(m_pdf));
    }

    void cancelledDialogPrintsNothing()
    {
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {false};
        ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        QCOMPARE(m_platform.questions.size(), 1);
        QCOMPARE(m_platform.printDialogs, 1);
        QVERIFY(!QFile::exists(m_pdf));
    }

    void unreadableIntegerPrintsNothing()
    {
        StringGrid stages = printedItinerary();
        stages.setCell(Itinerary::Distance, 2, QStringLiteral("10 00"));
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        const bool finished = guarded(m_platform, nullptr, [&] {
            ImPrimmer1Click(m_platform, nullptr, *m_printer, stages, catalogueGrid(), kRow);
        });
        QVERIFY(!finished);
        QCOMPARE(m_platform.errors,
                 QStringList{QStringLiteral("'10 00' n'est pas une valeur entière correcte")});
        QCOMPARE(m_platform.printDialogs, 1);
        QVERIFY(!QFile::exists(m_pdf));

        // The printer was left outside any document: the next job prints.
        m_platform.errors.clear();
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        QVERIFY(guarded(m_platform, nullptr, [&] {
            ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        }));
        QCOMPARE(PdfReader(TestUtil::readBytes(m_pdf)).pageCount(), 1);
    }

    void unwritableFileIsReported()
    {
        m_pdf = m_dir.filePath(QStringLiteral("missing/sheet.pdf"));
        m_platform.confirmAnswers = {true};
        m_platform.printAnswers = {true};
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".*")));
        const bool finished = guarded(m_platform, nullptr, [&] {
            ImPrimmer1Click(m_platform, nullptr, *m_printer, printedItinerary(), catalogueGrid(), kRow);
        });
        QVERIFY(!finished);
        QCOMPARE(m_platform.errors,
                 QStringList{QStringLiteral("Impossible de créer le fichier %1").arg(m_pdf)});
        QVERIFY(!QFile::exists(m_pdf));
    }

private:
    QTemporaryDir m_dir;
    QString m_pdf;
    FakePlatform m_platform;
    std::unique_ptr<QPrinter> m_printer;
};

QUOR_TEST(RouteSheetPrintTest)
#include "tst_routesheetprint.moc"
