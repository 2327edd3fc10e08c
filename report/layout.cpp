#include "report/layout.h"

#include "report/error.h"
#include "report/expression.h"
#include "report/render.h"
#include "report/report_dataset.h"
#include "report/rtf_reader.h"

#include <optional>

namespace report {

namespace {

struct BoundObject {
    const ReportObject* object;
    MemoText text;
};

struct BoundBand {
    const Band* band = nullptr;
    ReportDataset* dataset = nullptr;
    std::vector<BoundObject> objects;
};

BoundBand bind(const Band& band) {
    BoundBand bound;
    bound.band = &band;
    if (band.kind == BandKind::MasterData && !band.datasetName.isEmpty()) {
        bound.dataset = findDataset(band.datasetName);
        if (bound.dataset == nullptr)
            throw Error(QStringLiteral("Лентата %1 чете набор от данни „%2“, който не съществува.")
                            .arg(band.name, band.datasetName));
    }
    for (const ReportObject& object : band.objects) {
        const bool hasText = object.kind == ObjectKind::Memo || object.kind == ObjectKind::Rich ||
                             object.kind == ObjectKind::CheckBox;
        bound.objects.push_back(
            {&object, hasText ? MemoText::bind(object.text, object.name) : MemoText()});
    }
    return bound;
}

bool truthy(const QVariant& value) {
    if (value.isNull())
        return false;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               text == QLatin1String("1") || text == QStringLiteral("Да");
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toDouble() != 0;
}

class PageFlow {
public:
    PageFlow(const ReportPageSpec& spec, const QDateTime& started, std::vector<PreparedPage>& pages)
        : spec_(spec), pages_(pages) {
        context_.started = started;
        for (const Band& band : spec.bands)
            bands_.push_back(bind(band));
        pageHeader_ = firstOf(BandKind::PageHeader);
        pageFooter_ = firstOf(BandKind::PageFooter);
        printableHeight_ = (spec.paperHeight - spec.topMargin - spec.bottomMargin) * kUnitsPerMm;
    }

    void run() {
        startPage();
        if (const BoundBand* title = firstOf(BandKind::ReportTitle))
            place(*title);
        // The page header follows the title on the first page.
        if (pageHeader_ != nullptr)
            place(*pageHeader_);
        contentStart_ = y_;
        for (const BoundBand& band : bands_) {
            if (band.band->kind == BandKind::MasterData)
                placeRows(band);
            else if (band.band->kind == BandKind::Footer)
                place(band);
        }
        if (const BoundBand* summary = firstOf(BandKind::ReportSummary))
            place(*summary);
        finishPage();
    }

private:
    const BoundBand* firstOf(BandKind kind) const {
        for (const BoundBand& band : bands_)
            if (band.band->kind == kind)
                return &band;
        return nullptr;
    }

    double footerHeight() const { return pageFooter_ ? pageFooter_->band->height : 0; }

    void startPage() {
        PreparedPage page;
        page.size = QSizeF(spec_.paperWidth * kUnitsPerMm, spec_.paperHeight * kUnitsPerMm);
        pages_.push_back(std::move(page));
        context_.page = static_cast<int>(pages_.size());
        y_ = 0;
        if (pages_.size() > 1 && pageHeader_ != nullptr)
            put(instance(*pageHeader_));
        contentStart_ = y_;
    }

    void finishPage() {
        if (pageFooter_ == nullptr)
            return;
        y_ = printableHeight_ - footerHeight();
        put(instance(*pageFooter_));
    }

    void placeRows(const BoundBand& band) {
        if (band.dataset == nullptr) {
            place(band);
            return;
        }
        context_.line = 0;
        for (band.dataset->first(); !band.dataset->eof(); band.dataset->next()) {
            ++context_.line;
            place(band);
        }
    }

    // Puts a band at the current position, on a new page when it does not fit below what is
    // there; a band taller than an empty page goes on it all the same.
    void place(const BoundBand& band) {
        Instance prepared = instance(band);
        if (y_ + prepared.height > printableHeight_ - footerHeight() && y_ > contentStart_) {
            finishPage();
            startPage();
            prepared = instance(band);
        }
        put(std::move(prepared));
    }

    struct Instance {
        std::vector<ReportObject> objects;
        double height = 0;
    };

    Instance instance(const BoundBand& bound) const {
        const Band& band = *bound.band;
        Instance result;
        result.height = band.height;
        for (const BoundObject& b : bound.objects) {
            ReportObject object = *b.object;
            switch (object.kind) {
            case ObjectKind::Memo:
                object.text = b.text.evaluate(context_, object.displayFormat);
                break;
            case ObjectKind::Rich:
                object.text = b.text.evaluate(context_, {}, escapeRtf);
                break;
            case ObjectKind::CheckBox:
                if (b.text.hasExpressions())
                    object.checked = truthy(b.text.value(context_));
                break;
            case ObjectKind::Line:
            case ObjectKind::Shape:
                break;
            }
            if (band.stretches && object.stretch != Stretch::None) {
                double needed = object.rect.height();
                if (object.kind == ObjectKind::Memo)
                    needed = memoTextHeight(object, object.text);
                else if (object.kind == ObjectKind::Rich)
                    needed = richTextHeight(object.text, object.rect.width());
                object.rect.setHeight(std::max(object.rect.height(), needed));
                result.height = std::max(result.height, object.rect.bottom());
            }
            result.objects.push_back(std::move(object));
        }
        if (band.stretches)
            for (ReportObject& object : result.objects)
                if (object.stretch == Stretch::MaxHeight)
                    object.rect.setBottom(result.height);
        return result;
    }

    void put(Instance prepared) {
        const QPointF origin(spec_.leftMargin * kUnitsPerMm, spec_.topMargin * kUnitsPerMm + y_);
        auto& primitives = pages_.back().primitives;
        for (ReportObject& object : prepared.objects) {
            object.rect.translate(origin);
            primitives.push_back(std::move(object));
        }
        y_ += prepared.height;
    }

    const ReportPageSpec& spec_;
    std::vector<PreparedPage>& pages_;
    std::vector<BoundBand> bands_;
    const BoundBand* pageHeader_ = nullptr;
    const BoundBand* pageFooter_ = nullptr;
    EvalContext context_;
    double printableHeight_ = 0;
    double y_ = 0;
    double contentStart_ = 0;
};

void fillInTotalPages(std::vector<PreparedPage>& pages) {
    const QString mark{QChar(kTotalPagesMark)};
    const QString escapedMark = escapeRtf(mark);
    const QString total = QString::number(pages.size());
    for (PreparedPage& page : pages)
        for (ReportObject& object : page.primitives)
            if (object.text.contains(mark) || object.text.contains(escapedMark))
                object.text.replace(escapedMark, total).replace(mark, total);
}

} // namespace

std::vector<PreparedPage> layOutReport(const ReportModel& model, const QDateTime& started) {
    std::vector<PreparedPage> pages;
    for (const ReportPageSpec& spec : model.pages)
        PageFlow(spec, started, pages).run();
    fillInTotalPages(pages);
    return pages;
}

} // namespace report
