// SPDX-License-Identifier: Apache-2.0
#include "offer/edit_page.h"

#include "data/dataset.h"
#include "offer/position_keys.h"
#include "ui/captions.h"
#include "ui/colours.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace offer {

namespace {

constexpr int kOneRowOfFrames = 61;
constexpr int kTwoRowsOfFrames = 110;
// The panel of the position as the tender describes it: a column of short fields at the left,
// the name to their right.
constexpr int kPanelMargin = 8;
constexpr int kShortFieldWidth = 121;
constexpr int kColumnGap = 11;

QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    return label;
}

QLineEdit* readOnlyEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setStyleSheet(colours::background(colours::kTender));
    return edit;
}

QPushButton* fixedWidthButton(const QString& caption, int width, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFixedWidth(width);
    return button;
}

} // namespace

EditPage::EditPage(data::DataSource& dsData, ErrorGuard& guard, QWidget* parent)
    : QWidget(parent), dsData_(dsData), positions_(dsData.dataset()), guard_(guard) {
    setObjectName(QStringLiteral("tsEdit"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pnlSpec = createSpecPanel();
    layout->addWidget(pnlSpec);
    for (std::size_t i = 0; i < pnlInfo.size(); ++i) {
        pnlInfo[i] = createInfoPanel(static_cast<int>(2 * i + 1));
        layout->addWidget(pnlInfo[i]);
    }
    pnlOferta = createOfferPanel();
    layout->addWidget(pnlOferta);
    layout->addStretch();
    createNavigation();
    setTabOrder();
    setFocusProxy(frmParameter[0]->edtParam);

    auto* keys = new PositionKeys(positions_, guard_, this);
    keys->watch(*edtMeranEd);
    keys->watch(*edtGodProtr);
    for (QLineEdit* info : edtInfo)
        keys->watch(*info);
    // Enter in an offered value stores the position, as in the fields around it.
    for (TfrmParameter* frame : frmParameter)
        connect(frame->edtParam, &QLineEdit::returnPressed, this,
                [this] { guard_.run([this] { storeEditedPosition(positions_); }); });

    connect(&positions_, &data::Dataset::reset, this, [this] {
        showPosition();
        UpdateNavButtons();
    });
    connect(&positions_, &data::Dataset::scrolled, this, &EditPage::showPosition);
    connect(&positions_, &data::Dataset::recordChanged, this, [this](int record) {
        if (record == positions_.recNo())
            showPosition();
    });
    positions_.afterScroll = [this](data::Dataset&) { UpdateNavButtons(); };
    connect(qApp, &QApplication::focusChanged, this, &EditPage::watchFocus);
    showPosition();
    UpdateNavButtons();
}

EditPage::~EditPage() {
    positions_.afterScroll = nullptr;
}

QFrame* EditPage::createSpecPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pnlSpec"));
    panel->setFixedHeight(159);
    heading(QStringLiteral("По спецификация:"), panel)->move(8, 2);
    auto captioned = [panel](QLabel*& label, QWidget* input, int left, int top, int width,
                             int height) {
        label = new QLabel(panel);
        label->setGeometry(left, top, width, 15);
        input->setGeometry(left, top + 16, width, height);
        tieCaption(*label, *input);
    };
    QLabel* lblMeranEd = nullptr;
    edtKod = readOnlyEdit(panel);
    captioned(lblCaptionKod, edtKod, kPanelMargin, 20, kShortFieldWidth, 21);
    edtMeranEd = readOnlyEdit(panel);
    captioned(lblMeranEd, edtMeranEd, kPanelMargin, 59, kShortFieldWidth, 21);
    setCaption(*lblMeranEd, QStringLiteral("Мярка"));
    edtGodProtr = readOnlyEdit(panel);
    captioned(lblCaptionGodPotreblenie, edtGodProtr, kPanelMargin, 98, kShortFieldWidth, 21);
    mmoIME = new QPlainTextEdit(panel);
    mmoIME->setReadOnly(true);
    mmoIME->setTabChangesFocus(true);
    mmoIME->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoIME->setStyleSheet(colours::background(colours::kTender));
    captioned(lblCaptionProduct, mmoIME, kPanelMargin + kShortFieldWidth + kColumnGap, 20, 678,
              119);
    // The maximum price is not shown to the bidder; its caption is kept with the others.
    lblMaxCena = new QLabel(panel);
    lblMaxCena->hide();
    return panel;
}

QFrame* EditPage::createInfoPanel(int first) {
    auto* panel = new QFrame(this);
    panel->setObjectName(numbered("pnlInfo%1", first) + QString::number(first + 1));
    panel->setFixedHeight(50);
    for (int k = first; k <= first + 1; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const int left = k == first ? 8 : 480;
        lblInfo[i] = new QLabel(panel);
        lblInfo[i]->setObjectName(numbered("lblInfo%1", k));
        lblInfo[i]->setGeometry(left, 4, 464, 15);
        edtInfo[i] = readOnlyEdit(panel);
        edtInfo[i]->setObjectName(numbered("edtInfo%1", k));
        edtInfo[i]->setGeometry(left, 20, 464, 21);
        tieCaption(*lblInfo[i], *edtInfo[i]);
    }
    return panel;
}

QFrame* EditPage::createOfferPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pnlOferta"));
    panel->setFixedHeight(kTwoRowsOfFrames);
    heading(QStringLiteral("Оферта:"), panel)->move(8, 2);
    for (std::size_t i = 0; i < frmParameter.size(); ++i) {
        frmParameter[i] = new TfrmParameter(guard_, panel);
        frmParameter[i]->setObjectName(numbered("frmParameter%1", static_cast<int>(i) + 1));
        const int column = static_cast<int>(i % 3);
        const int row = static_cast<int>(i / 3);
        frmParameter[i]->setGeometry(8 + column * 328, 18 + row * 45, 320, 37);
    }
    return panel;
}

void EditPage::createNavigation() {
    btnUp = fixedWidthButton(QStringLiteral("Предишен"), 82, this);
    btnDown = fixedWidthButton(QStringLiteral("Следващ"), 82, this);
    edtGoTo = new QLineEdit(this);
    edtGoTo->setObjectName(QStringLiteral("edtGoTo"));
    edtGoTo->setFixedWidth(66);
    edtGoTo->setStyleSheet(QStringLiteral("background-color: #E3EFFD;"));
    // No caption stands beside it; "Търси позиция" after it says what it is for.
    edtGoTo->setAccessibleName(QStringLiteral("Код на търсената позиция"));
    btnGoTo = fixedWidthButton(QStringLiteral("Търси позиция"), 119, this);
    auto* navigation = new QHBoxLayout;
    navigation->setContentsMargins(8, 4, 8, 4);
    navigation->addWidget(btnUp);
    navigation->addWidget(btnDown);
    navigation->addWidget(edtGoTo);
    navigation->addWidget(btnGoTo);
    navigation->addStretch();
    static_cast<QVBoxLayout*>(layout())->addLayout(navigation);

    const auto guarded = [this](void (EditPage::*handler)()) {
        return [this, handler] { guard_.run([this, handler] { (this->*handler)(); }); };
    };
    connect(btnUp, &QPushButton::clicked, this, guarded(&EditPage::btnUpClick));
    connect(btnDown, &QPushButton::clicked, this, guarded(&EditPage::btnDownClick));
    connect(btnGoTo, &QPushButton::clicked, this, guarded(&EditPage::btnGoToClick));
    connect(edtGoTo, &QLineEdit::returnPressed, this, guarded(&EditPage::btnGoToClick));

    // Moving on from the keyboard while the focus stays in the value being typed.
    btnUp->setToolTip(QStringLiteral("Предишен (Page Up)"));
    btnDown->setToolTip(QStringLiteral("Следващ (Page Down)"));
    const auto shortcut = [this](Qt::Key key, QPushButton* button) {
        auto* keys = new QShortcut(QKeySequence(key), this);
        keys->setContext(Qt::WidgetWithChildrenShortcut);
        connect(keys, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                emit button->clicked();
        });
    };
    shortcut(Qt::Key_PageUp, btnUp);
    shortcut(Qt::Key_PageDown, btnDown);
}

void EditPage::setTabOrder() {
    // The offered values first, then moving on, then the description of the position.
    std::vector<QWidget*> order;
    for (TfrmParameter* frame : frmParameter)
        order.push_back(frame->edtParam);
    order.insert(order.end(), {btnUp, edtGoTo, btnDown});
    order.insert(order.end(), edtInfo.begin(), edtInfo.end());
    order.insert(order.end(), {edtKod, edtMeranEd, edtGodProtr, mmoIME, btnGoTo});
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void EditPage::showPosition() {
    const auto text = [this](const QString& name) {
        return positions_.fieldByName(name).displayText();
    };
    edtKod->setText(text(QStringLiteral("CUSTOM_CODE")));
    edtMeranEd->setText(text(QStringLiteral("MEASURE_IME")));
    edtGodProtr->setText(text(QStringLiteral("GODISHNO_POTREBLENIE")));
    mmoIME->setPlainText(text(QStringLiteral("IME")));
    for (int k = 1; k <= 8; ++k)
        edtInfo[static_cast<std::size_t>(k - 1)]->setText(text(numbered("INFO%1", k)));
    // Without a position there is nothing to offer a value for, and no row may be added.
    pnlOferta->setEnabled(positions_.active() && !positions_.isEmpty());
}

void EditPage::setUpOfferFrames(const data::Dataset& specs) {
    const auto integer = [&specs](const QString& name) {
        return static_cast<int>(specs.fieldByName(name).asInteger());
    };
    const auto text = [&specs](const QString& name) { return specs.fieldByName(name).asString(); };
    // The price is always a number.
    frmParameter[0]->InitFrame(dsData_, 3, integer(QStringLiteral("PP1_RAZRYAD")),
                               QStringLiteral("PP1_"), text(QStringLiteral("PP1_IME")));
    for (int n = 2; n <= 6; ++n)
        frmParameter[static_cast<std::size_t>(n - 1)]->InitFrame(
            dsData_, integer(numbered("PP%1_TIP", n)), integer(numbered("PP%1_RAZRYAD", n)),
            numbered("PP%1_", n), text(numbered("PP%1_IME", n)));
}

void EditPage::setCaptions(const data::Dataset& specs) {
    const auto text = [&specs](const QString& name) { return specs.fieldByName(name).asString(); };
    const auto caption = [&specs](QLabel& label, const QString& column) {
        setCaption(label, specs.fieldByName(column).asString(), nameForUncaptioned(column));
    };
    for (int k = 1; k <= 8; ++k)
        caption(*lblInfo[static_cast<std::size_t>(k - 1)], numbered("CAPTION_INFO%1", k));
    caption(*lblCaptionKod, QStringLiteral("CAPTION_NOMER"));
    caption(*lblCaptionProduct, QStringLiteral("CAPTION_PRODUCT"));
    caption(*lblCaptionGodPotreblenie, QStringLiteral("CAPTION_GOD_POTREBLENIE"));
    lblMaxCena->setText(text(QStringLiteral("CAPTION_MAX_CENA")));

    // A caption of the left column longer than its field is shown whole: the column widens to
    // it and the name moves right.
    int column = kShortFieldWidth;
    for (const QLabel* label : {lblCaptionKod, lblCaptionGodPotreblenie})
        column = std::max(column, label->sizeHint().width());
    for (QLabel* label : {lblCaptionKod, lblCaptionGodPotreblenie})
        label->resize(column, label->height());
    const int nameLeft = kPanelMargin + column + kColumnGap;
    lblCaptionProduct->move(nameLeft, lblCaptionProduct->y());
    mmoIME->move(nameLeft, mmoIME->y());
}

void EditPage::setUpInfoRows(const data::Dataset& specs) {
    const qint64 used = specs.fieldByName(QStringLiteral("BROI_INFO_POLETA")).asInteger();
    for (std::size_t i = 0; i < pnlInfo.size(); ++i)
        pnlInfo[i]->setVisible(used >= static_cast<qint64>(2 * i + 1));
    for (std::size_t i = 0; i < edtInfo.size(); ++i) {
        const bool shown = used >= static_cast<qint64>(i + 1);
        edtInfo[i]->setVisible(shown);
        lblInfo[i]->setVisible(shown);
    }
}

int EditPage::fitOfferPanel() {
    const bool secondRow = !frmParameter[3]->isHidden() || !frmParameter[4]->isHidden() ||
                           !frmParameter[5]->isHidden();
    pnlOferta->setFixedHeight(secondRow ? kTwoRowsOfFrames : kOneRowOfFrames);

    // Lay the page out now, hidden panels collapsed, to learn where the offer panel starts.
    layout()->invalidate();
    QRect area = rect();
    area.setHeight(std::max(area.height(), layout()->minimumSize().height()));
    layout()->setGeometry(area);
    return pnlOferta->geometry().top() + pnlOferta->height();
}

void EditPage::UpdateNavButtons() {
    btnUp->setEnabled(!positions_.bof());
    btnDown->setEnabled(!positions_.eof());
}

void EditPage::btnUpClick() {
    const int before = positions_.recNo();
    positions_.prior();
    UpdateNavButtons();
    if (positions_.recNo() != before)
        focusFirstOfferedValue();
}

void EditPage::btnDownClick() {
    const int before = positions_.recNo();
    positions_.next();
    UpdateNavButtons();
    if (positions_.recNo() != before)
        focusFirstOfferedValue();
}

void EditPage::focusFirstOfferedValue() {
    // Pricing one position after another needs no key between them: the price shown is
    // selected, also when the focus was in it already, and what is typed replaces it.
    QLineEdit* price = frmParameter[0]->edtParam;
    price->setFocus(Qt::TabFocusReason);
    price->selectAll();
}

void EditPage::restoreFocus() {
    if (lastInput_ != nullptr && lastInput_->isVisibleTo(this) && lastInput_->isEnabled())
        lastInput_->setFocus(Qt::OtherFocusReason);
    else
        focusFirstOfferedValue();
}

void EditPage::btnGoToClick() {
    const QString code = edtGoTo->text();
    if (code.isEmpty()) {
        guard_.dialogs().warning(QStringLiteral("Не е въведена позиция."));
        edtGoTo->setFocus();
        return;
    }
    if (!positions_.locate(QStringLiteral("CUSTOM_CODE"), code)) {
        guard_.dialogs().warning(QStringLiteral("Не е намерена позицията."));
        edtGoTo->setFocus();
        return;
    }
    focusFirstOfferedValue();
}

void EditPage::watchFocus(QWidget* old, QWidget* now) {
    if (now == nullptr || now->window() != window())
        return; // a dialog over the window, or the window left: the bidder is still here
    const bool wasHere = old != nullptr && isAncestorOf(old);
    const bool isHere = isAncestorOf(now);
    if (isHere)
        lastInput_ = now;
    if (wasHere && !isHere)
        emit focusLeft(now);
    else if (!wasHere && isHere)
        emit focusEntered();
}

} // namespace offer
