// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <gnutls/pkcs12.h>
#include <gnutls/pkcs7.h>
#include <gnutls/x509.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <type_traits>

// GnuTLS objects owned by smart pointers, and the few conversions every signing unit needs.
namespace sign::gnutls {

template <typename T, void (*Release)(T)> struct Releaser {
    void operator()(T object) const { Release(object); }
};
template <typename T, void (*Release)(T)>
using Handle = std::unique_ptr<std::remove_pointer_t<T>, Releaser<T, Release>>;

using Certificate = Handle<gnutls_x509_crt_t, gnutls_x509_crt_deinit>;
using PrivateKey = Handle<gnutls_privkey_t, gnutls_privkey_deinit>;
using X509PrivateKey = Handle<gnutls_x509_privkey_t, gnutls_x509_privkey_deinit>;
using Pkcs7 = Handle<gnutls_pkcs7_t, gnutls_pkcs7_deinit>;
using Pkcs12 = Handle<gnutls_pkcs12_t, gnutls_pkcs12_deinit>;
using Pkcs12Bag = Handle<gnutls_pkcs12_bag_t, gnutls_pkcs12_bag_deinit>;
inline void releaseTrustList(gnutls_x509_trust_list_t list) {
    gnutls_x509_trust_list_deinit(list, 1);
}
using TrustList = Handle<gnutls_x509_trust_list_t, releaseTrustList>;

// A datum GnuTLS allocated, freed with it.
class OwnedDatum {
public:
    OwnedDatum() = default;
    OwnedDatum(const OwnedDatum&) = delete;
    OwnedDatum& operator=(const OwnedDatum&) = delete;
    ~OwnedDatum() { gnutls_free(datum.data); }
    gnutls_datum_t* operator&() { return &datum; }
    QByteArray bytes() const {
        return QByteArray(reinterpret_cast<const char*>(datum.data), int(datum.size));
    }
    QString text() const { return QString::fromUtf8(bytes()); }

    gnutls_datum_t datum{nullptr, 0};
};

// A datum that points into `bytes`, which must outlive it.
inline gnutls_datum_t datumOf(const QByteArray& bytes) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
            static_cast<unsigned>(bytes.size())};
}

// Throws data::Error with `what` and GnuTLS's reason when `result` is an error code.
void check(int result, const QString& what);

Certificate importCertificate(const QByteArray& bytes,
                              gnutls_x509_crt_fmt_t format = GNUTLS_X509_FMT_DER);
QByteArray certificateDer(gnutls_x509_crt_t certificate);

} // namespace sign::gnutls
