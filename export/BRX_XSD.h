// SPDX-License-Identifier: Apache-2.0
#pragma once

// The typed binding of the offer file over a small element tree of its own: one class per
// element type, a read and a write operation per child element. The binding fixes the element
// names, the value types, the order in which children appear and the text form of every value; the
// authority's own software reads the file, so that form is part of the contract.

#include "data/error.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The text form of a floating value: the shortest general form of at most 15 significant
// digits, no grouping, no trailing zeros, `decimalSeparator` between the whole and the fraction.
QString offerNumberText(double value, const QString& decimalSeparator);

// The index of the first character of `text` that an XML 1.0 document cannot carry (a control
// character other than tab, line feed and carriage return, an unpaired surrogate, U+FFFE or
// U+FFFF), or nothing when every character can be written. The search starts at `from`.
std::optional<qsizetype> firstUnwritableCharacter(const QString& text, qsizetype from = 0);

// `text` with every character that firstUnwritableCharacter finds replaced by a space: how a
// text of the tender's own, which the bidder cannot correct, goes into the offer file.
QString withUnwritableAsSpaces(QString text);

// Why character `index` of `text` cannot go into the file, as the rest of a sentence about the
// text: "съдържа на 3-о място знака U+000B, който не може да се запише в XML файл".
QString unwritableCharacterReason(const QString& text, qsizetype index);

// Why the offer file cannot carry `value` as the number it is, as the rest of a sentence about
// the value; empty when it can. No bidder can type such a value: an infinity or a NaN, or one of
// more significant digits than the file's number form writes (shown whole, with
// `decimalSeparator`), which would be written rounded to another number.
QString numberRefusal(double value, const QString& decimalSeparator);

// A value refused because the file could not carry it: the authority's reader would reject the
// whole offer, or read another value than the one stored.
class UnwritableValue : public data::Error {
public:
    using data::Error::Error;
};

// The message names the element, the character and its place.
class UnwritableText : public UnwritableValue {
public:
    UnwritableText(const QString& element, const QString& text, qsizetype index);
};

// The message names the element and numberRefusal's reason.
class UnwritableNumber : public UnwritableValue {
public:
    UnwritableNumber(const QString& element, const QString& refusal);
};

// The generic node interface of the binding.
class IXMLNode {
public:
    virtual ~IXMLNode() = default;
    virtual QString NodeName() const = 0;
    // The serialised markup of this element and everything below it: no declaration, no
    // whitespace added between elements.
    virtual QString XML() const = 0;
    // The same markup handed to `write` piece by piece, in order, for a caller that writes it out
    // without holding all of it: each piece some thousands of characters, or one child element's
    // whole markup where that is longer; no piece ends inside an element's text.
    virtual void WriteXML(const std::function<void(QStringView)>& write) const = 0;
};

// The generic node-collection interface.
class IXMLNodeCollection {
public:
    virtual ~IXMLNodeCollection() = default;
    virtual int Count() const = 0;
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
};

class IXMLKONKURS : public virtual IXMLNode {
public:
    virtual qint64 Get_KONKURS() = 0;
    virtual QString Get_IME_NA_KONKURSA() = 0;
    virtual qint64 Get_NO_DDS() = 0;
    virtual QString Get_KP1_TEXT() = 0;
    virtual double Get_KP1_NUMBER() = 0;
    virtual QString Get_KP2_TEXT() = 0;
    virtual double Get_KP2_NUMBER() = 0;
    virtual QString Get_KP3_TEXT() = 0;
    virtual double Get_KP3_NUMBER() = 0;
    virtual QString Get_KP4_TEXT() = 0;
    virtual double Get_KP4_NUMBER() = 0;
    virtual qint64 Get_TIP_EXPORT() = 0;
    virtual void Set_KONKURS(qint64 value) = 0;
    virtual void Set_IME_NA_KONKURSA(const QString& value) = 0;
    virtual void Set_NO_DDS(qint64 value) = 0;
    virtual void Set_KP1_TEXT(const QString& value) = 0;
    virtual void Set_KP1_NUMBER(double value) = 0;
    virtual void Set_KP2_TEXT(const QString& value) = 0;
    virtual void Set_KP2_NUMBER(double value) = 0;
    virtual void Set_KP3_TEXT(const QString& value) = 0;
    virtual void Set_KP3_NUMBER(double value) = 0;
    virtual void Set_KP4_TEXT(const QString& value) = 0;
    virtual void Set_KP4_NUMBER(double value) = 0;
    virtual void Set_TIP_EXPORT(qint64 value) = 0;
};

class IXMLPOZICII : public virtual IXMLNode {
public:
    virtual qint64 Get_PRODUCT_CODE() = 0;
    virtual QString Get_CUSTOM_CODE() = 0;
    virtual double Get_PP1_NUMBER() = 0;
    virtual double Get_PP2_NUMBER() = 0;
    virtual QString Get_PP2_TEXT() = 0;
    virtual double Get_PP3_NUMBER() = 0;
    virtual QString Get_PP3_TEXT() = 0;
    virtual double Get_PP4_NUMBER() = 0;
    virtual QString Get_PP4_TEXT() = 0;
    virtual double Get_PP5_NUMBER() = 0;
    virtual QString Get_PP5_TEXT() = 0;
    virtual double Get_PP6_NUMBER() = 0;
    virtual QString Get_PP6_TEXT() = 0;
    virtual void Set_PRODUCT_CODE(qint64 value) = 0;
    virtual void Set_CUSTOM_CODE(const QString& value) = 0;
    virtual void Set_PP1_NUMBER(double value) = 0;
    virtual void Set_PP2_NUMBER(double value) = 0;
    virtual void Set_PP2_TEXT(const QString& value) = 0;
    virtual void Set_PP3_NUMBER(double value) = 0;
    virtual void Set_PP3_TEXT(const QString& value) = 0;
    virtual void Set_PP4_NUMBER(double value) = 0;
    virtual void Set_PP4_TEXT(const QString& value) = 0;
    virtual void Set_PP5_NUMBER(double value) = 0;
    virtual void Set_PP5_TEXT(const QString& value) = 0;
    virtual void Set_PP6_NUMBER(double value) = 0;
    virtual void Set_PP6_TEXT(const QString& value) = 0;

    // The offer parameter n (2 to 6) by its number, for callers that walk the parameters.
    void Set_PP_NUMBER(int n, double value);
    void Set_PP_TEXT(int n, const QString& value);
};

class IXMLPOZICIIList : public virtual IXMLNodeCollection {
public:
    // A new item after every existing child of PREDL.
    virtual std::shared_ptr<IXMLPOZICII> Add() = 0;
    // A new item at 0-based `index` among the items (Count() appends after the last item).
    virtual std::shared_ptr<IXMLPOZICII> Insert(int index) = 0;
    virtual std::shared_ptr<IXMLPOZICII> Get_Item(int index) = 0;
    // The same as Add, with the new item bound only while `fill` runs: a document built in one
    // go keeps no binding of its items, so none is made for each.
    virtual void AddFilled(const std::function<void(IXMLPOZICII&)>& fill) = 0;
};

class IXMLPREDL : public virtual IXMLNode {
public:
    virtual QString Get_IME_NA_FIRMATA() = 0;
    virtual std::shared_ptr<IXMLKONKURS> Get_KONKURS() = 0;
    virtual std::shared_ptr<IXMLPOZICIIList> Get_POZICII() = 0;
    virtual void Set_IME_NA_FIRMATA(const QString& value) = 0;
};

// A new offer document (XML 1.0, no namespace, no indentation) with its empty root PREDL.
// Floating values are written and read with the decimal separator of `regional`.
std::shared_ptr<IXMLPREDL> NewPREDL(const QLocale& regional = QLocale::system());

// The binding's classes. Each wraps one element of the document and keeps the document alive.

struct OfferDocument; // what every element of one document shares: the text form of numbers

// One element of an offer document: a name, then either text or child elements (the binding
// never mixes them), the children linked from the first to the last. The element and its text
// take their room from their document, its name is one the document keeps, and none of them is
// freed before the document: an element removed from its parent lives on while a binding holds
// it, and every binding holding an element keeps its document alive.
struct OfferElement {
    QStringView name;
    QStringView text;
    OfferElement* firstChild = nullptr;
    OfferElement* lastChild = nullptr;
    OfferElement* next = nullptr; // the next child of the same parent
};

// The generic element node: child access by name, creating a missing child at the end, and the
// text forms of the values.
class TXMLNode : public virtual IXMLNode {
public:
    TXMLNode(std::shared_ptr<OfferDocument> document, OfferElement* element);

    QString NodeName() const override;
    QString XML() const override;
    void WriteXML(const std::function<void(QStringView)>& write) const override;

protected:
    // The first child element named `name`; a new one appended as the last child when none.
    OfferElement& ChildNode(const QString& name);
    QString childText(const QString& name);
    qint64 childInteger(const QString& name);
    double childFloat(const QString& name);
    void setChildText(const QString& name, const QString& value);
    void setChildInteger(const QString& name, qint64 value);
    void setChildFloat(const QString& name, double value);

    std::shared_ptr<OfferDocument> document_;
    OfferElement* element_;
};

class TXMLKONKURS final : public TXMLNode, public IXMLKONKURS {
public:
    using TXMLNode::TXMLNode;

    qint64 Get_KONKURS() override;
    QString Get_IME_NA_KONKURSA() override;
    qint64 Get_NO_DDS() override;
    QString Get_KP1_TEXT() override;
    double Get_KP1_NUMBER() override;
    QString Get_KP2_TEXT() override;
    double Get_KP2_NUMBER() override;
    QString Get_KP3_TEXT() override;
    double Get_KP3_NUMBER() override;
    QString Get_KP4_TEXT() override;
    double Get_KP4_NUMBER() override;
    qint64 Get_TIP_EXPORT() override;
    void Set_KONKURS(qint64 value) override;
    void Set_IME_NA_KONKURSA(const QString& value) override;
    void Set_NO_DDS(qint64 value) override;
    void Set_KP1_TEXT(const QString& value) override;
    void Set_KP1_NUMBER(double value) override;
    void Set_KP2_TEXT(const QString& value) override;
    void Set_KP2_NUMBER(double value) override;
    void Set_KP3_TEXT(const QString& value) override;
    void Set_KP3_NUMBER(double value) override;
    void Set_KP4_TEXT(const QString& value) override;
    void Set_KP4_NUMBER(double value) override;
    void Set_TIP_EXPORT(qint64 value) override;
};

class TXMLPOZICII final : public TXMLNode, public IXMLPOZICII {
public:
    using TXMLNode::TXMLNode;

    qint64 Get_PRODUCT_CODE() override;
    QString Get_CUSTOM_CODE() override;
    double Get_PP1_NUMBER() override;
    double Get_PP2_NUMBER() override;
    QString Get_PP2_TEXT() override;
    double Get_PP3_NUMBER() override;
    QString Get_PP3_TEXT() override;
    double Get_PP4_NUMBER() override;
    QString Get_PP4_TEXT() override;
    double Get_PP5_NUMBER() override;
    QString Get_PP5_TEXT() override;
    double Get_PP6_NUMBER() override;
    QString Get_PP6_TEXT() override;
    void Set_PRODUCT_CODE(qint64 value) override;
    void Set_CUSTOM_CODE(const QString& value) override;
    void Set_PP1_NUMBER(double value) override;
    void Set_PP2_NUMBER(double value) override;
    void Set_PP2_TEXT(const QString& value) override;
    void Set_PP3_NUMBER(double value) override;
    void Set_PP3_TEXT(const QString& value) override;
    void Set_PP4_NUMBER(double value) override;
    void Set_PP4_TEXT(const QString& value) override;
    void Set_PP5_NUMBER(double value) override;
    void Set_PP5_TEXT(const QString& value) override;
    void Set_PP6_NUMBER(double value) override;
    void Set_PP6_TEXT(const QString& value) override;
};

// The POZICII children of one PREDL element, as a list.
class TXMLPOZICIIList final : public IXMLPOZICIIList {
public:
    TXMLPOZICIIList(std::shared_ptr<OfferDocument> document, OfferElement* owner, QString itemTag);

    int Count() const override;
    void Clear() override;
    void Delete(int index) override;
    std::shared_ptr<IXMLPOZICII> Add() override;
    std::shared_ptr<IXMLPOZICII> Insert(int index) override;
    std::shared_ptr<IXMLPOZICII> Get_Item(int index) override;
    void AddFilled(const std::function<void(IXMLPOZICII&)>& fill) override;

private:
    // The link to item `index` among the owner's children: the owner's first-child link or the
    // next link of the child before it. Throws std::out_of_range.
    OfferElement** itemLink(int index) const;
    OfferElement* newItem() const;
    std::shared_ptr<IXMLPOZICII> bind(OfferElement* element) const;

    std::shared_ptr<OfferDocument> document_;
    OfferElement* owner_;
    QString itemTag_;
};

class TXMLPREDL final : public TXMLNode, public IXMLPREDL {
public:
    TXMLPREDL(std::shared_ptr<OfferDocument> document, OfferElement* element);

    QString Get_IME_NA_FIRMATA() override;
    std::shared_ptr<IXMLKONKURS> Get_KONKURS() override;
    std::shared_ptr<IXMLPOZICIIList> Get_POZICII() override;
    void Set_IME_NA_FIRMATA(const QString& value) override;

private:
    std::shared_ptr<IXMLPOZICIIList> POZICII_;
};
