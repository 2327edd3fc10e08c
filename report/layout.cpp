// SPDX-License-Identifier: Apache-2.0
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

// `where` names the template for the messages of the expressions that cannot be bound.
BoundBand bind(const Band& band, const QString& where) {
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
            {&object, hasText ? MemoText::bind(object.text, object.name + where) : MemoText()});
    }
    return bound;
}

class PageFlow {
public:
    PageFlow(const ReportPageSpec& pageSpec, const QString& sourceName, const QDateTime& started,
             std::vector<PreparedPage>& pages, const LayoutProgress& proceed)
        : spec_(pageSpec), pages_(pages), proceed_(proceed) {
        context_.started = started;
        const QString where =
            sourceName.isEmpty() ? QString() : QStringLiteral(" в шаблона „%1“").arg(sourceName);
        for (const Band& band : pageSpec.bands)
            bands_.push_back(bind(band, where));
        pageHeader_ = firstOf(BandKind::PageHeader);
        pageFooter_ = firstOf(BandKind::PageFooter);
        printableHeight_ =
            (pageSpec.paperHeight - pageSpec.topMargin - pageSpec.bottomMargin) * kUnitsPerMm;
        where_ = where;
        if (pageHeader_ != nullptr)
            requireRoomBelow(pageHeader_->band->height);
    }

    // Returns false when `proceed` stopped it.
    bool run() {
        startPage();
        if (const BoundBand* title = firstOf(BandKind::ReportTitle))
            place(*title);
        // The page header follows the title on the first page.
        if (pageHeader_ != nullptr)
            place(*pageHeader_);
        contentStart_ = y_;
        for (const BoundBand& band : bands_) {
            if (band.band->kind == BandKind::MasterData) {
                if (!placeRows(band))
                    return false;
            } else if (band.band->kind == BandKind::Footer)
                place(band);
        }
        if (const BoundBand* summary = firstOf(BandKind::ReportSummary))
            place(*summary);
        finishPage();
        return true;
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
        if (pages_.size() > 1 && pageHeader_ != nullptr) {
            put(instance(*pageHeader_));
            requireRoomBelow(y_); // as it stretched on this page
        }
        contentStart_ = y_;
    }

    // Refuses the template when a page header of `height` leaves no room above the page footer:
    // every row would go below the paper's edge, one blank page after another.
    void requireRoomBelow(double height) const {
        if (height + footerHeight() < printableHeight_)
            return;
        throw Error(QStringLiteral("Горният колонтитул %1%2 не оставя място за редовете: заедно с "
                                   "долния колонтитул е по-висок от страницата.")
                        .arg(pageHeader_->band->name, where_));
    }

    void finishPage() {
        if (pageFooter_ == nullptr)
            return;
        y_ = printableHeight_ - footerHeight();
        put(instance(*pageFooter_));
    }

    bool placeRows(const BoundBand& band) {
        if (band.dataset == nullptr) {
            place(band);
            return true;
        }
        context_.line = 0;
        forEachText([](const MemoText& text) { text.resetSums(); });
        const int total = proceed_ ? band.dataset->rowCount() : 0;
        for (band.dataset->first(); !band.dataset->eof(); band.dataset->next()) {
            ++context_.line;
            forEachText([this](const MemoText& text) { text.accumulate(context_); });
            place(band);
            if (proceed_ && !proceed_(context_.line, total))
                return false;
        }
        return true;
    }

    template <typename F> void forEachText(F f) const {
        for (const BoundBand& band : bands_)
            for (const BoundObject& object : band.objects)
                f(object.text);
    }

    // Puts a band at the current position, on a new page when it does not fit below what is
    // there; a band taller than an empty page goes on it all the same.
    void place(const BoundBand& band) {
        Instance prepared = instance(band);
        constexpr double kTolerance = 0.01; // of sizes converted from millimetres
        if (y_ + prepared.height > printableHeight_ - footerHeight() + kTolerance &&
            y_ > contentStart_) {
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
                // Conditional lines that came out empty leave no blank line at the end.
                while (object.text.endsWith(u'\n') || object.text.endsWith(u'\r'))
                    object.text.chop(1);
                break;
            case ObjectKind::Rich:
                object.text = b.text.evaluate(context_, {}, escapeRtf);
                break;
            case ObjectKind::CheckBox:
                if (b.text.hasExpressions())
                    object.checked = isTrue(b.text.value(context_));
                break;
            case ObjectKind::Line:
            case ObjectKind::Shape:
                break;
            }
            result.objects.push_back(std::move(object));
        }
        if (band.stretches)
            stretch(result);
        return result;
    }

    // Grows the stretching objects to their content, moves the objects below a grown one down
    // by as much, and the band with them; objects that reach to the band's bottom go last.
    static void stretch(Instance& band) {
        auto& objects = band.objects;
        const std::size_t count = objects.size();
        std::vector<double> growth(count, 0);
        for (std::size_t i = 0; i < count; ++i) {
            ReportObject& object = objects[i];
            if (object.stretch == Stretch::None)
                continue;
            double needed = object.rect.height();
            if (object.kind == ObjectKind::Memo)
                needed = memoTextHeight(object, object.text);
            else if (object.kind == ObjectKind::Rich)
                needed = richTextHeight(object.text, object.rect.width());
            growth[i] = std::max(0.0, needed - object.rect.height());
        }
        std::vector<std::size_t> byTop(count);
        for (std::size_t i = 0; i < count; ++i)
            byTop[i] = i;
        std::stable_sort(byTop.begin(), byTop.end(), [&](std::size_t a, std::size_t b) {
            return objects[a].rect.top() < objects[b].rect.top();
        });
        std::vector<double> shift(count, 0);
        for (std::size_t n = 0; n < count; ++n) {
            const std::size_t i = byTop[n];
            if (!objects[i].shifts)
                continue;
            for (std::size_t m = 0; m < n; ++m) {
                const std::size_t j = byTop[m];
                const QRectF& above = objects[j].rect;
                const QRectF& below = objects[i].rect;
                const bool overlapsAcross =
                    above.left() < below.right() && below.left() < above.right();
                if (overlapsAcross && above.bottom() <= below.top() + 0.01)
                    shift[i] = std::max(shift[i], shift[j] + growth[j]);
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            objects[i].rect.translate(0, shift[i]);
            objects[i].rect.setHeight(objects[i].rect.height() + growth[i]);
            band.height = std::max(band.height, objects[i].rect.bottom());
        }
        for (ReportObject& object : objects)
            if (object.stretch == Stretch::MaxHeight)
                object.rect.setBottom(band.height);
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
    const LayoutProgress& proceed_;
    std::vector<BoundBand> bands_;
    const BoundBand* pageHeader_ = nullptr;
    const BoundBand* pageFooter_ = nullptr;
    EvalContext context_;
    double printableHeight_ = 0;
    QString where_; // the template, for the messages
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

std::vector<PreparedPage> layOutReport(const ReportModel& model, const QDateTime& started,
                                       const LayoutProgress& proceed) {
    std::vector<PreparedPage> pages;
    for (const ReportPageSpec& pageSpec : model.pages)
        if (!PageFlow(pageSpec, model.sourceName, started, pages, proceed).run())
            return {};
    fillInTotalPages(pages);
    return pages;
}

} // namespace report
