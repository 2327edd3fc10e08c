// SPDX-License-Identifier: Apache-2.0
#include "sign/cms_value.h"

#include "data/error.h"

#include <libtasn1.h>

namespace {

// The definitions of cms.asn, made into a table by asn1Parser at build time.
#include "cms_asn1.c"

// The parsed definitions, made once.
asn1_node definitions() {
    static const asn1_node parsed = [] {
        asn1_node tree = nullptr;
        char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
        if (asn1_array2tree(cms_asn1_tab, &tree, error) != ASN1_SUCCESS)
            throw data::Error(QStringLiteral("Определенията на CMS не могат да бъдат прочетени: %1")
                                  .arg(QLatin1String(error)));
        return tree;
    }();
    return parsed;
}

} // namespace

namespace sign {

CmsValue::CmsValue(const char* type, QString what) : what_(std::move(what)) {
    check(asn1_create_element(definitions(), (QByteArray("BrxCms.") + type).constData(), &node_),
          type);
}

CmsValue::~CmsValue() {
    asn1_delete_structure(&node_);
}

void CmsValue::refuse(const QString& why) const {
    throw data::Error(QStringLiteral("%1: %2.").arg(what_, why));
}

void CmsValue::check(int result, const char* name) const {
    if (result != ASN1_SUCCESS)
        refuse(QStringLiteral("%1 (%2)").arg(QLatin1String(name),
                                             QLatin1String(asn1_strerror(result))));
}

void CmsValue::decode(const QByteArray& bytes, Encoding encoding) {
    char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
    int size = int(bytes.size());
    const unsigned flags = encoding == Encoding::Der ? ASN1_DECODE_FLAG_STRICT_DER : 0;
    check(asn1_der_decoding2(&node_, bytes.constData(), &size, flags, error), "DER");
    if (size != bytes.size())
        refuse(QStringLiteral("след стойността има още %1 байта").arg(bytes.size() - size));
}

QByteArray CmsValue::encode() const {
    char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
    int size = 0;
    const int sized = asn1_der_coding(node_, "", nullptr, &size, error);
    if (sized != ASN1_MEM_ERROR)
        check(sized, "DER");
    QByteArray der(size, '\0');
    check(asn1_der_coding(node_, "", der.data(), &size, error), "DER");
    der.truncate(size);
    return der;
}

void CmsValue::write(const char* name, const void* value, int size) {
    check(asn1_write_value(node_, name, value, size), name);
}

void CmsValue::write(const char* name, const QByteArray& value) {
    write(name, value.constData(), int(value.size()));
}

QByteArray CmsValue::read(const char* name) const {
    int size = 0;
    const int result = asn1_read_value(node_, name, nullptr, &size);
    if (result == ASN1_ELEMENT_NOT_FOUND || result == ASN1_VALUE_NOT_FOUND ||
        (result == ASN1_SUCCESS && size == 0))
        return QByteArray();
    if (result != ASN1_MEM_ERROR)
        check(result, name);
    QByteArray bytes(size, '\0');
    check(asn1_read_value(node_, name, bytes.data(), &size), name);
    bytes.truncate(size);
    return bytes;
}

int CmsValue::count(const char* name) const {
    int count = 0;
    const int result = asn1_number_of_elements(node_, name, &count);
    if (result == ASN1_ELEMENT_NOT_FOUND)
        return 0;
    check(result, name);
    return count;
}

} // namespace sign
