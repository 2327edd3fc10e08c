// SPDX-License-Identifier: Apache-2.0
#include "report/error.h"
#include "report/layout.h"
#include "report/report.h"
#include "report/template_reader.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace report;

const QByteArray kTemplate = R"(<?xml version="1.0" encoding="utf-8"?>
<TfrxReport Version="4.11.4" ScriptText.Text="begin end." SomethingNew="1">
  <Datasets><item DataSet="x" DataSetName="Data"/><item DataSetName="Specs"/></Datasets>
  <TfrxDataPage Name="Data"/>
  <TfrxReportPage Name="Page1" Orientation="poLandscape" PaperWidth="210" PaperHeight="297"
                  LeftMargin="15" RightMargin="5" TopMargin="12" BottomMargin="8">
    <TfrxReportTitle Name="Title" Height="40"/>
    <TfrxPageHeader Name="Header" Height="20">
      <TfrxMemoView Name="Head" Left="0" Top="0" Width="100" Height="20" Font.Name="Times New Roman"
                    Font.Height="-16" Font.Style="5" Font.Color="255" HAlign="haRight"
                    VAlign="vaCenter" Frame.Typ="9" Frame.Width="2" Color="13421772"
                    WordWrap="False" Text="Заглавие"/>
      <TfrxPictureView Name="Logo" Left="0" Top="0" Width="10" Height="10"/>
    </TfrxPageHeader>
    <TfrxMasterData Name="Rows" Height="18" DataSetName="Data" Stretched="True" RowCount="0">
      <TfrxMemoView Name="Cell" Left="1" Top="2" Width="3" Height="4" StretchMode="smMaxHeight"
                    ShiftMode="smDontShift" DataSetName="Data" DataField="IME"
                    DisplayFormat.Kind="fkNumeric" DisplayFormat.FormatStr="# ##0.00"
                    DisplayFormat.DecimalSeparator=","/>
      <TfrxRichView Name="Rich" Left="0" Top="0" Width="50" Height="10" RichEdit="{\rtf1 x}"/>
      <TfrxLineView Name="Rule" Left="0" Top="5" Width="100" Height="3" Frame.Width="0.5"/>
      <TfrxShapeView Name="Box" Left="0" Top="0" Width="30" Height="10" Shape="skRoundRectangle" Curve="3"/>
      <TfrxCheckBoxView Name="Tick" Left="0" Top="0" Width="10" Height="10" Expression="&lt;Data.&quot;F&quot;&gt;"/>
    </TfrxMasterData>
    <TfrxFooter Name="Foot" Height="5"/>
    <TfrxReportSummary Name="Summary" Height="6"/>
    <TfrxPageFooter Name="PageFoot" Height="7"/>
    <TfrxGroupHeader Name="Unknown" Height="9"/>
  </TfrxReportPage>
</TfrxReport>
)";

TEST(TemplateReader, ReadsPagesBandsAndObjectsAndSkipsWhatItDoesNotKnow) {
    const ReportModel model = readTemplate(kTemplate, QStringLiteral("test.fr3"));
    EXPECT_EQ(model.datasetNames, (QStringList{QStringLiteral("Data"), QStringLiteral("Specs")}));
    ASSERT_EQ(model.pages.size(), 1u);
    const ReportPageSpec& page = model.pages[0];
    EXPECT_TRUE(page.landscape);
    EXPECT_EQ(QSizeF(page.paperWidth, page.paperHeight), QSizeF(297, 210));
    EXPECT_EQ(QMarginsF(page.leftMargin, page.topMargin, page.rightMargin, page.bottomMargin),
              QMarginsF(15, 12, 5, 8));

    std::vector<BandKind> kinds;
    for (const Band& band : page.bands)
        kinds.push_back(band.kind);
    EXPECT_EQ(kinds, (std::vector<BandKind>{BandKind::ReportTitle, BandKind::PageHeader,
                                            BandKind::MasterData, BandKind::Footer,
                                            BandKind::ReportSummary, BandKind::PageFooter}));

    const Band& header = page.bands[1];
    ASSERT_EQ(header.objects.size(), 1u) << "the picture is skipped";
    const ReportObject& head = header.objects[0];
    EXPECT_EQ(head.text, QStringLiteral("Заглавие"));
    EXPECT_EQ(head.font.family, QStringLiteral("Times New Roman"));
    EXPECT_EQ(head.font.pointSize, 12);
    EXPECT_TRUE(head.font.bold);
    EXPECT_FALSE(head.font.italic);
    EXPECT_TRUE(head.font.underline);
    EXPECT_EQ(head.font.color, QColor(255, 0, 0));
    EXPECT_EQ(head.hAlign, HAlign::Right);
    EXPECT_EQ(head.vAlign, VAlign::Center);
    EXPECT_TRUE(head.frame.left && head.frame.bottom && !head.frame.top && !head.frame.right);
    EXPECT_EQ(head.frame.width, 2);
    EXPECT_EQ(head.fill, QColor(204, 204, 204));
    EXPECT_FALSE(head.wordWrap);

    const Band& rows = page.bands[2];
    EXPECT_EQ(rows.datasetName, QStringLiteral("Data"));
    EXPECT_TRUE(rows.stretches);
    ASSERT_EQ(rows.objects.size(), 5u);
    const ReportObject& cell = rows.objects[0];
    EXPECT_EQ(cell.text, QStringLiteral("[Data.\"IME\"]"));
    EXPECT_EQ(cell.rect, QRectF(1, 2, 3, 4));
    EXPECT_EQ(cell.stretch, Stretch::MaxHeight);
    EXPECT_FALSE(cell.shifts);
    EXPECT_EQ(cell.displayFormat.kind, DisplayFormat::Kind::Numeric);
    EXPECT_EQ(cell.displayFormat.format, QStringLiteral("# ##0.00"));
    EXPECT_EQ(cell.displayFormat.decimalSeparator, QStringLiteral(","));
    EXPECT_EQ(rows.objects[1].kind, ObjectKind::Rich);
    EXPECT_EQ(rows.objects[1].text, QStringLiteral("{\\rtf1 x}"));
    EXPECT_EQ(rows.objects[2].kind, ObjectKind::Line);
    EXPECT_EQ(rows.objects[2].rect.height(), 0) << "a line that is not diagonal lies flat";
    EXPECT_EQ(rows.objects[2].lineWidth, 0.5);
    EXPECT_EQ(rows.objects[3].shape, ShapeKind::RoundRectangle);
    EXPECT_EQ(rows.objects[4].kind, ObjectKind::CheckBox);
    EXPECT_EQ(rows.objects[4].text, QStringLiteral("[<Data.\"F\">]"));
}

TEST(TemplateReader, RefusesWhatIsNotATemplate) {
    const QByteArray refused[] = {"not xml at all", "<?xml version=\"1.0\"?><Other/>",
                                  "<TfrxReport><TfrxReportPage><TfrxMasterData Height=\"1\">",
                                  "<TfrxReport><TfrxReportPage PaperWidth=\"20\" LeftMargin=\"10\" "
                                  "RightMargin=\"10\"/></TfrxReport>"};
    for (const QByteArray& xml : refused)
        EXPECT_THROW(readTemplate(xml, QStringLiteral("x.fr3")), Error) << xml.constData();
}

// A template with one page of one band holding `objects` (XML elements), the page's attributes
// as given.
QByteArray oneBand(const QByteArray& objects,
                   const QByteArray& page = "PaperWidth=\"210\" PaperHeight=\"297\"") {
    return "<TfrxReport><TfrxReportPage Name=\"Page1\" " + page +
           "><TfrxMasterData Name=\"Rows\" Height=\"20\">" + objects +
           "</TfrxMasterData></TfrxReportPage></TfrxReport>";
}

QByteArray memoWith(const QByteArray& attributes, const QByteArray& name = "Cell") {
    return "<TfrxMemoView Name=\"" + name + "\" Width=\"50\" Height=\"10\" " + attributes + "/>";
}

// Sizes no sheet has, and texts, formats and numbers of objects that would take a report more
// time or memory than a page can show, are refused when the template is read, with a message
// naming the template and, where one is at fault, the object.
TEST(TemplateReader, RefusesSizesAndContentNoPageCanHold) {
    const QByteArray many(1000000, '[');
    QByteArray full; // as many objects as a band may hold
    for (int i = 0; i < 200; ++i)
        full += memoWith("Text=\"x\"", "M" + QByteArray::number(i));
    const QByteArray objects = full + memoWith("Text=\"x\"", "M200");
    QByteArray bands;
    for (int band = 0; band < 11; ++band)
        bands += "<TfrxMasterData Name=\"R\" Height=\"1\">" + full + "</TfrxMasterData>";
    struct Case {
        const char* what;
        QByteArray xml;
        QString named; // besides the template
    };
    const Case cases[] = {
        {"a paper width that is no number", oneBand({}, "PaperWidth=\"NaN\""),
         QStringLiteral("PaperWidth")},
        {"an infinite paper height", oneBand({}, "PaperHeight=\"inf\""),
         QStringLiteral("PaperHeight")},
        {"a paper wider than any printer takes", oneBand({}, "PaperWidth=\"1e300\""),
         QStringLiteral("PaperWidth")},
        {"an infinite margin", oneBand({}, "LeftMargin=\"-inf\""), QStringLiteral("LeftMargin")},
        {"an object's size that is no number", oneBand(memoWith("Left=\"nan\"")),
         QStringLiteral("Cell")},
        {"an infinite font", oneBand(memoWith("Font.Height=\"-inf\"")), QStringLiteral("Cell")},
        {"a precision of a billion",
         oneBand(memoWith("DisplayFormat.Kind=\"fkNumeric\" "
                          "DisplayFormat.FormatStr=\"%.999999999f\"")),
         QStringLiteral("Cell")},
        {"a format of a million zeros",
         oneBand(memoWith("DisplayFormat.Kind=\"fkNumeric\" DisplayFormat.FormatStr=\"0." +
                          QByteArray(1000000, '0') + "\"")),
         QStringLiteral("Cell")},
        {"a memo of a million brackets", oneBand(memoWith("Text=\"" + many + "\"")),
         QStringLiteral("Cell")},
        {"a rich text of 10 MB",
         oneBand("<TfrxRichView Name=\"Rich\" RichEdit=\"{\\rtf1 " + QByteArray(10 << 20, 'x') +
                 "}\"/>"),
         QStringLiteral("Rich")},
        {"a rich text of 5 million unclosed groups",
         oneBand("<TfrxRichView Name=\"Rich\" RichEdit=\"{\\rtf1 " + QByteArray(5000000, '{') +
                 "\"/>"),
         QStringLiteral("Rich")},
        {"a band of 201 objects", oneBand(objects), QStringLiteral("Rows")},
        {"2,200 objects", "<TfrxReport><TfrxReportPage>" + bands + "</TfrxReportPage></TfrxReport>",
         QString()},
    };
    for (const Case& c : cases) {
        try {
            readTemplate(c.xml, QStringLiteral("rep1.fr3"));
            ADD_FAILURE() << "read: " << c.what;
        } catch (const Error& error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(QStringLiteral("„rep1.fr3“"))) << message.toStdString();
            EXPECT_TRUE(message.contains(c.named)) << c.what << ": " << message.toStdString();
            EXPECT_LT(message.size(), 300) << c.what;
        }
    }
}

// An expression nested deeper than the engine descends is refused when the report is laid out,
// naming the template and the object.
TEST(TemplateReader, ADeepExpressionIsRefusedNamingTemplateAndObject) {
    const QByteArray deep = "[" + QByteArray(10000, '(') + "1" + QByteArray(10000, ')') + "]";
    const ReportModel model = readTemplate(oneBand(memoWith("Text=\"" + deep + "\"", "Deep")),
                                           QStringLiteral("rep2.fr3"));
    try {
        layOutReport(model, QDateTime::currentDateTime());
        ADD_FAILURE() << "laid out";
    } catch (const Error& error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.contains(QStringLiteral("Deep"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("„rep2.fr3“"))) << message.toStdString();
    }
}

TEST(Report, LoadingAMissingFileNamesItsFullPathAndKeepsTheReport) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("rep1.fr3"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kTemplate);
    file.close();

    Report report;
    report.loadFromFile(path);
    ASSERT_EQ(report.model().pages.at(0).bands.size(), 6u);
    try {
        report.loadFromFile(folder.filePath(QStringLiteral("rep2.fr3")));
        ADD_FAILURE() << "a missing file loaded";
    } catch (const Error& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("Cannot open file \"%1\". No such file or directory")
                      .arg(folder.filePath(QStringLiteral("rep2.fr3"))));
    }
    EXPECT_EQ(report.model().pages.at(0).bands.size(), 6u);
}

TEST(Report, StartsAsOneEmptyA4PortraitPageOverDataAndSpecs) {
    const Report report;
    ASSERT_EQ(report.model().pages.size(), 1u);
    const ReportPageSpec& page = report.model().pages[0];
    EXPECT_EQ(QSizeF(page.paperWidth, page.paperHeight), QSizeF(210, 297));
    EXPECT_FALSE(page.landscape);
    EXPECT_EQ(QMarginsF(page.leftMargin, page.topMargin, page.rightMargin, page.bottomMargin),
              QMarginsF(10, 10, 10, 10));
    EXPECT_TRUE(page.bands.empty());
    EXPECT_TRUE(report.model().script.isEmpty());
    EXPECT_EQ(report.model().datasetNames,
              (QStringList{QStringLiteral("Data"), QStringLiteral("Specs")}));
}

} // namespace
