// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>

struct asn1_node_st;

// One value of a type of cms.asn, read from DER or written to it with libtasn1. Element names
// are libtasn1's: "signerInfos.?1.signedAttrs.?2.attrType".
namespace sign {

class CmsValue {
public:
    // An empty value of `type` ("SignedData"); what goes wrong with it is told as a fault of
    // `what`.
    CmsValue(const char* type, QString what);
    CmsValue(const CmsValue&) = delete;
    CmsValue& operator=(const CmsValue&) = delete;
    ~CmsValue();

    // How strictly bytes are read: DER, as everything signed must be; or BER, as CMS allows for
    // the structure around what is signed (a streaming signer writes indefinite lengths).
    enum class Encoding { Der, Ber };

    // Reads `bytes`, which must be exactly one value of the type.
    void decode(const QByteArray& bytes, Encoding encoding = Encoding::Der);
    QByteArray encode() const;

    void write(const char* name, const void* value, int size);
    void write(const char* name, const QByteArray& value);
    // The bytes of `name` (the DER of an ANY, the text of an identifier with its terminating
    // zero), or nothing when the element is absent.
    QByteArray read(const char* name) const;
    // How many elements the SET OF or SEQUENCE OF `name` holds; 0 when it is absent.
    int count(const char* name) const;

    // Throws data::Error: `what`, then `why`.
    [[noreturn]] void refuse(const QString& why) const;

private:
    void check(int result, const char* name) const;

    asn1_node_st* node_ = nullptr;
    QString what_;
};

} // namespace sign
