// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/prepared_page.h"
#include "report/report.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace report {

class PageView;

// The modal preview of prepared pages: one page at a time at a chosen zoom, page navigation,
// printing through the system's print dialog and export to PDF. It opens fitted to the page's
// width, so that a landscape page shows whole across.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    PreviewDialog(const std::vector<PreparedPage>& pages, PreviewQuestions questions,
                  QWidget* parent = nullptr);
    ~PreviewDialog() override;

    int pageCount() const { return static_cast<int>(pages_.size()); }
    // 0-based.
    int currentPage() const { return current_; }
    void setCurrentPage(int page);
    // How the zoom follows the window: not at all (a zoom chosen in per cent), or fitting the
    // page's width or the whole page into it.
    enum class Fit { None, PageWidth, WholePage };
    Fit fit() const { return fit_; }
    double zoom() const { return zoom_; }
    void setZoom(double zoom);

    // Asks where to save and writes the pages there; an error is told, not thrown.
    void exportToPdf();
    void print();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void zoomChosen(int index);
    void fitZoom();
    void updateNavigation();

    const std::vector<PreparedPage>& pages_;
    PreviewQuestions questions_;
    int current_ = 0;
    double zoom_ = 1;
    Fit fit_ = Fit::PageWidth;
    QScrollArea* scroll_;
    PageView* view_;
    QSpinBox* pageNumber_;
    QLabel* pageTotal_;
    QComboBox* zoomBox_;
};

} // namespace report
