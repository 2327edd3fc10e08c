// SPDX-License-Identifier: Apache-2.0
#include "report/preview.h"

#include "data/output_file.h"
#include "report/error.h"
#include "report/render.h"

#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

namespace report {

// One prepared page drawn on white paper at the preview's zoom.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) {}

    void show(const PreparedPage* page, double zoom) {
        page_ = page;
        zoom_ = zoom;
        const QSizeF size = page ? page->size * scale() : QSizeF(0, 0);
        setFixedSize(size.toSize() + QSize(2 * kMargin, 2 * kMargin));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (page_ == nullptr)
            return;
        painter.translate(kMargin, kMargin);
        painter.fillRect(QRectF(QPointF(0, 0), page_->size * scale()), Qt::white);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(scale(), scale());
        paintPage(painter, *page_);
    }

private:
    static constexpr int kMargin = 12;
    double scale() const { return zoom_ * logicalDpiX() / 96.0; }

    const PreparedPage* page_ = nullptr;
    double zoom_ = 1;
};

namespace {

const int kZooms[] = {50, 75, 100, 150, 200};

} // namespace

PreviewDialog::PreviewDialog(const std::vector<PreparedPage>& pages, PreviewQuestions questions,
                             QWidget* parent)
    : QDialog(parent), pages_(pages), questions_(std::move(questions)),
      scroll_(new QScrollArea(this)), view_(new PageView(scroll_)), pageNumber_(new QSpinBox(this)),
      pageTotal_(new QLabel(this)), zoomBox_(new QComboBox(this)) {
    setObjectName(QStringLiteral("frxPreview"));
    setWindowTitle(QStringLiteral("Преглед"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    if (!questions_.saveFileName)
        questions_.saveFileName = [this](const QString& proposed, const QString& filter) {
            return QFileDialog::getSaveFileName(this, QStringLiteral("Експорт в PDF"), proposed,
                                                filter);
        };
    if (!questions_.error)
        questions_.error = [this](const QString& text) {
            QMessageBox::critical(this, windowTitle(), text);
        };
    if (!questions_.warning)
        questions_.warning = [this](const QString& text) {
            QMessageBox::warning(this, windowTitle(), text);
        };

    auto* tools = new QToolBar(this);
    tools->addAction(QStringLiteral("Печат"), this, &PreviewDialog::print);
    tools->addAction(QStringLiteral("PDF"), this, &PreviewDialog::exportToPdf);
    tools->addSeparator();
    tools->addAction(QStringLiteral("<<"), this, [this] { setCurrentPage(0); });
    tools->addAction(QStringLiteral("<"), this, [this] { setCurrentPage(current_ - 1); });
    pageNumber_->setRange(1, std::max(1, pageCount()));
    tools->addWidget(pageNumber_);
    pageTotal_->setText(QStringLiteral(" от %1 ").arg(pageCount()));
    tools->addWidget(pageTotal_);
    tools->addAction(QStringLiteral(">"), this, [this] { setCurrentPage(current_ + 1); });
    tools->addAction(QStringLiteral(">>"), this, [this] { setCurrentPage(pageCount() - 1); });
    tools->addSeparator();
    for (const int percent : kZooms)
        zoomBox_->addItem(QStringLiteral("%1%").arg(percent));
    zoomBox_->addItem(QStringLiteral("По ширина"));
    zoomBox_->addItem(QStringLiteral("Цяла страница"));
    zoomBox_->setCurrentIndex(static_cast<int>(std::size(kZooms)));
    tools->addWidget(zoomBox_);
    tools->addSeparator();
    tools->addAction(QStringLiteral("Затвори"), this, &QDialog::accept);

    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tools);
    layout->addWidget(scroll_);

    connect(pageNumber_, &QSpinBox::valueChanged, this, [this](int n) { setCurrentPage(n - 1); });
    connect(zoomBox_, &QComboBox::currentIndexChanged, this, &PreviewDialog::zoomChosen);
    resize(900, 700);
    updateNavigation();
}

PreviewDialog::~PreviewDialog() = default;

void PreviewDialog::setCurrentPage(int page) {
    current_ = std::clamp(page, 0, std::max(0, pageCount() - 1));
    updateNavigation();
}

void PreviewDialog::setZoom(double zoom) {
    zoom_ = std::clamp(zoom, 0.1, 8.0);
    fit_ = Fit::None;
    updateNavigation();
}

void PreviewDialog::zoomChosen(int index) {
    if (index < static_cast<int>(std::size(kZooms))) {
        setZoom(kZooms[index] / 100.0);
        return;
    }
    fit_ = index == static_cast<int>(std::size(kZooms)) ? Fit::PageWidth : Fit::WholePage;
    fitZoom();
}

void PreviewDialog::fitZoom() {
    if (fit_ == Fit::None || pages_.empty())
        return;
    const QSizeF page = pages_[static_cast<std::size_t>(current_)].size * (logicalDpiX() / 96.0);
    const QSize area = scroll_->viewport()->size() - QSize(30, 30);
    const double byWidth = area.width() / page.width();
    const double byHeight = area.height() / page.height();
    zoom_ = std::max(0.1, fit_ == Fit::PageWidth ? byWidth : std::min(byWidth, byHeight));
    updateNavigation();
}

void PreviewDialog::updateNavigation() {
    const QSignalBlocker blocker(pageNumber_);
    pageNumber_->setValue(current_ + 1);
    view_->show(pages_.empty() ? nullptr : &pages_[static_cast<std::size_t>(current_)], zoom_);
}

void PreviewDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageDown:
        setCurrentPage(current_ + 1);
        break;
    case Qt::Key_PageUp:
        setCurrentPage(current_ - 1);
        break;
    case Qt::Key_Home:
        setCurrentPage(0);
        break;
    case Qt::Key_End:
        setCurrentPage(pageCount() - 1);
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void PreviewDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitZoom();
}

void PreviewDialog::exportToPdf() {
    const QString path =
        questions_.saveFileName(QStringLiteral("Оферта.pdf"), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    try {
        if (const QString moved = writePdf(pages_, path); !moved.isEmpty())
            questions_.warning(data::staleSignatureNotice(path, moved));
    } catch (const Error& error) {
        questions_.error(QString::fromStdString(error.what()));
    }
}

void PreviewDialog::print() {
    if (pages_.empty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setFromTo(1, pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int from = range ? printer.fromPage() - 1 : 0;
    const int to = range ? printer.toPage() - 1 : pageCount() - 1;
    if (!paintPages(printer, pages_, from, to))
        questions_.error(QStringLiteral("Отпечатването не е възможно."));
}

} // namespace report
