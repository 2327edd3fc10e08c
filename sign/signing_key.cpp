// SPDX-License-Identifier: Apache-2.0
#include "sign/signing_key.h"

#include "data/output_file.h"
#include "sign/gnutls_handles.h"
#include "sign/signing_certificate.h"

#include <gnutls/pkcs11.h>

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <cstring>

namespace sign {

namespace {

// The PIN of one signing: asked at the first login, handed again only to a login the key itself
// demands for the signature, refused to any login that follows a wrong one.
struct PinSession {
    PinSource source;
    QByteArray pin;
    bool asked = false;
    bool wrong = false;
    bool cancelled = false;
    bool malformed = false; // holds a zero byte, which the token would read as its end
    unsigned flags = 0;     // the token's word on the tries left, with the refusal

    ~PinSession() { pin.fill('\0'); }
};

// A secret with a zero byte would be cut there by every C interface that takes it, and a
// different secret than the one typed would be tried.
QString secretRefusal(const QString& what) {
    return QStringLiteral("%1 съдържа нулев байт и не се приема: нищо не е подписано.").arg(what);
}

QString pinPrompt(const char* tokenLabel, unsigned flags) {
    QString prompt = QStringLiteral("ПИН за „%1“:").arg(QString::fromUtf8(tokenLabel));
    if (flags & GNUTLS_PIN_FINAL_TRY)
        prompt +=
            QStringLiteral("\nВнимание: това е последният опит, преди картата да се заключи.");
    else if (flags & GNUTLS_PIN_COUNT_LOW)
        prompt += QStringLiteral("\nВнимание: остават малко опити, преди картата да се заключи.");
    return prompt;
}

int answerPin(void* userdata, int attempt, const char*, const char* tokenLabel, unsigned flags,
              char* pin, size_t pinMax) {
    auto& session = *static_cast<PinSession*>(userdata);
    if (session.wrong || attempt > 0 || (flags & GNUTLS_PIN_WRONG)) {
        session.wrong = true;
        session.flags = flags;
        return GNUTLS_E_PKCS11_PIN_ERROR;
    }
    if (!session.asked) {
        session.asked = true;
        std::optional<QByteArray> answer = session.source(pinPrompt(tokenLabel, flags));
        if (!answer) {
            session.cancelled = true;
            return GNUTLS_E_PKCS11_PIN_ERROR;
        }
        session.pin = *answer;
        answer->fill('\0');
        session.malformed = session.pin.contains('\0');
    }
    if (session.cancelled || session.malformed || std::size_t(session.pin.size()) >= pinMax)
        return GNUTLS_E_PKCS11_PIN_ERROR;
    std::memcpy(pin, session.pin.constData(), std::size_t(session.pin.size()));
    pin[session.pin.size()] = '\0';
    return 0;
}

// What the token said after the PIN, if the PIN was the trouble.
void refuseForPin(const PinSession& session) {
    if (session.cancelled)
        throw Cancelled(QStringLiteral("Подписването е отказано."));
    if (session.malformed)
        throw data::Error(secretRefusal(QStringLiteral("ПИН кодът")));
    if (!session.wrong)
        return;
    QString text = QStringLiteral("Грешен ПИН: нищо не е подписано.");
    if (session.flags & GNUTLS_PIN_FINAL_TRY)
        text += QStringLiteral(" Остава последният опит, преди картата да се заключи.");
    else if (session.flags & GNUTLS_PIN_COUNT_LOW)
        text += QStringLiteral(" Остават малко опити, преди картата да се заключи.");
    throw data::Error(text);
}

// The attributes of a PKCS #11 URL, "name=value" each, and what follows its path.
struct Pkcs11Url {
    QStringList attributes;
    QString query; // with its '?', or empty

    explicit Pkcs11Url(const QString& url) {
        const QString body = url.mid(int(std::strlen("pkcs11:")));
        const qsizetype queryStart = body.indexOf(QLatin1Char('?'));
        attributes = body.left(queryStart).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (queryStart >= 0)
            query = body.mid(queryStart);
    }
    // The URL with the attributes named in `dropped` left out and `added` appended.
    QString with(const QStringList& dropped, const QStringList& added) const {
        QStringList kept;
        for (const QString& attribute : attributes)
            if (!dropped.contains(attribute.section(QLatin1Char('='), 0, 0)))
                kept << attribute;
        return QStringLiteral("pkcs11:") + (kept + added).join(QLatin1Char(';')) + query;
    }
    QString value(const QString& name) const {
        for (const QString& attribute : attributes)
            if (attribute.section(QLatin1Char('='), 0, 0) == name)
                return attribute.section(QLatin1Char('='), 1);
        return QString();
    }
};

const QStringList kObjectAttributes{QStringLiteral("id"), QStringLiteral("object"),
                                    QStringLiteral("type")};

QString tokenUrlOf(const QString& objectUrl) {
    return Pkcs11Url(objectUrl).with(kObjectAttributes, {});
}

// The private key beside a certificate: on the same token, under the same identifier.
QString privateKeyUrlOf(const QString& certificateUrl) {
    const Pkcs11Url url(certificateUrl);
    const QString id = url.value(QStringLiteral("id"));
    if (id.isEmpty())
        throw data::Error(QStringLiteral("Сертификатът „%1“ няма идентификатор, по който да се "
                                         "намери ключът му.")
                              .arg(certificateUrl));
    return url.with(kObjectAttributes,
                    {QStringLiteral("id=") + id, QStringLiteral("type=private")});
}

QString objectInfo(gnutls_pkcs11_obj_t object, gnutls_pkcs11_obj_info_t what) {
    char text[256] = {};
    size_t size = sizeof text;
    if (gnutls_pkcs11_obj_get_info(object, what, text, &size) < 0)
        return QString();
    return QString::fromUtf8(text, int(qstrnlen(text, sizeof text)));
}

// The certificates `url` matches that a bidder signs with, appended to `found`.
void collectCertificates(const QString& url, std::vector<TokenCertificate>& found) {
    gnutls_pkcs11_obj_t* objects = nullptr;
    unsigned count = 0;
    const QByteArray urlBytes = url.toUtf8();
    if (gnutls_pkcs11_obj_list_import_url4(&objects, &count, urlBytes.constData(),
                                           GNUTLS_PKCS11_OBJ_FLAG_CRT) < 0)
        return; // a token that cannot be listed has nothing to offer
    for (unsigned i = 0; i < count; ++i) {
        gnutls_pkcs11_obj_t object = objects[i];
        gnutls::OwnedDatum der;
        char* objectUrl = nullptr;
        if (found.size() < std::size_t(kMaxCertificates) * 4 &&
            gnutls_pkcs11_obj_export2(object, &der) >= 0 &&
            gnutls_pkcs11_obj_export_url(object, GNUTLS_PKCS11_URL_GENERIC, &objectUrl) >= 0) {
            try {
                CertificateInfo certificate = readCertificate(der.bytes());
                if (!certificate.authority)
                    found.push_back({QString::fromUtf8(objectUrl),
                                     objectInfo(object, GNUTLS_PKCS11_OBJ_TOKEN_LABEL),
                                     std::move(certificate)});
            } catch (const data::Error&) {
                // A certificate the token holds but no one can read signs nothing.
            }
        }
        gnutls_free(objectUrl);
        gnutls_pkcs11_obj_deinit(object);
    }
    gnutls_free(objects);
}

// Whether a key lies in the file unencrypted: a plain key in a bag that is not encrypted.
bool holdsPlainKey(gnutls_pkcs12_t pkcs12) {
    for (unsigned i = 0;; ++i) {
        gnutls_pkcs12_bag_t raw = nullptr;
        if (gnutls_pkcs12_bag_init(&raw) < 0)
            return false;
        const gnutls::Pkcs12Bag bag(raw);
        if (gnutls_pkcs12_get_bag(pkcs12, int(i), raw) < 0)
            return false;
        const int count = gnutls_pkcs12_bag_get_count(raw);
        for (int j = 0; j < count; ++j)
            if (gnutls_pkcs12_bag_get_type(raw, unsigned(j)) == GNUTLS_BAG_PKCS8_KEY)
                return true;
    }
}

// The certificates above `certificateDer` on its token, nearest first.
std::vector<QByteArray> tokenIssuers(const QString& tokenUrl, const QByteArray& certificateDer) {
    std::vector<QByteArray> issuers;
    const QByteArray url = tokenUrl.toUtf8();
    QByteArray current = certificateDer;
    while (issuers.size() < std::size_t(kMaxCertificates)) {
        const gnutls::Certificate certificate = gnutls::importCertificate(current);
        if (gnutls_x509_crt_check_issuer(certificate.get(), certificate.get()))
            break; // a root issues itself
        gnutls::OwnedDatum issuer;
        // Any certificate of the token, not only those marked trusted: the chain is only
        // carried, and whoever checks the signature decides whom to trust.
        if (gnutls_pkcs11_get_raw_issuer(url.constData(), certificate.get(), &issuer,
                                         GNUTLS_X509_FMT_DER,
                                         GNUTLS_PKCS11_OBJ_FLAG_RETRIEVE_ANY) < 0)
            break;
        current = issuer.bytes();
        issuers.push_back(current);
    }
    return issuers;
}

} // namespace

std::vector<TokenCertificate> tokenCertificates(const QString& url) {
    std::vector<TokenCertificate> found;
    // GnuTLS reads a URL's values as C texts: "token=%00bidder" would name another token.
    if (QByteArray::fromPercentEncoding(url.toUtf8()).contains('\0'))
        throw data::Error(QStringLiteral("Адресът PKCS #11 „%1“ съдържа нулев байт (%2): такъв "
                                         "адрес не се приема.")
                              .arg(url, QStringLiteral("%00")));
    if (!url.isEmpty()) {
        collectCertificates(url, found);
        return found;
    }
    for (unsigned slot = 0;; ++slot) {
        char* tokenUrl = nullptr;
        if (gnutls_pkcs11_token_get_url(slot, GNUTLS_PKCS11_URL_GENERIC, &tokenUrl) < 0)
            break;
        unsigned flags = 0;
        // The system's trust store is a token too: certificates to trust, not to sign with.
        if (gnutls_pkcs11_token_get_flags(tokenUrl, &flags) >= 0 &&
            !(flags & GNUTLS_PKCS11_TOKEN_TRUSTED))
            collectCertificates(QString::fromUtf8(tokenUrl), found);
        gnutls_free(tokenUrl);
    }
    return found;
}

struct SigningKey::State {
    gnutls::X509PrivateKey x509Key; // the key of a file, which `key` uses
    gnutls::PrivateKey key;
    CertificateInfo certificate;
    std::vector<QByteArray> issuers;
    // A token's key may ask for the PIN again when it signs.
    std::unique_ptr<PinSession> pin;
};

SigningKey::SigningKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
SigningKey::~SigningKey() = default;

const CertificateInfo& SigningKey::certificate() const {
    return state_->certificate;
}

std::unique_ptr<SigningKey> SigningKey::onToken(const TokenCertificate& certificate,
                                                PinSource pin) {
    auto state = std::make_unique<State>();
    state->certificate = certificate.certificate;
    state->pin = std::make_unique<PinSession>();
    state->pin->source = std::move(pin);
    gnutls_privkey_t key = nullptr;
    gnutls::check(gnutls_privkey_init(&key), QStringLiteral("Ключът не може да бъде отворен"));
    state->key.reset(key);
    gnutls_privkey_set_pin_function(key, answerPin, state->pin.get());
    const QByteArray keyUrl = privateKeyUrlOf(certificate.url).toUtf8();
    const int imported = gnutls_privkey_import_url(key, keyUrl.constData(), 0);
    refuseForPin(*state->pin);
    gnutls::check(
        imported,
        QStringLiteral("Ключът на сертификата не е намерен на „%1“").arg(certificate.tokenLabel));
    state->issuers = tokenIssuers(tokenUrlOf(certificate.url), certificate.certificate.der);
    return std::unique_ptr<SigningKey>(new SigningKey(std::move(state)));
}

std::unique_ptr<SigningKey> SigningKey::fromKeyFile(const QString& path,
                                                    const QByteArray& password) {
    if (password.contains('\0'))
        throw data::Error(secretRefusal(QStringLiteral("Паролата")));
    const QByteArray bytes = readBounded(path, kMaxKeyFileBytes, QStringLiteral("Файлът"));
    gnutls_pkcs12_t raw = nullptr;
    gnutls::check(gnutls_pkcs12_init(&raw), QStringLiteral("Файлът не може да бъде прочетен"));
    const gnutls::Pkcs12 pkcs12(raw);
    const gnutls_datum_t datum = gnutls::datumOf(bytes);
    if (gnutls_pkcs12_import(raw, &datum, GNUTLS_X509_FMT_DER, 0) < 0 &&
        gnutls_pkcs12_import(raw, &datum, GNUTLS_X509_FMT_PEM, 0) < 0)
        throw data::Error(
            QStringLiteral("„%1“ не е файл с ключ и сертификат (.p12, .pfx).").arg(path));
    unsigned macAlgorithm = 0;
    unsigned saltSize = 0;
    if (gnutls_pkcs12_mac_info(raw, &macAlgorithm, nullptr, &saltSize, nullptr, nullptr) < 0)
        throw data::Error(QStringLiteral("„%1“ няма код за цялост (MAC): не може да се провери, "
                                         "че е непроменен; такъв файл не се приема.")
                              .arg(path));
    if (holdsPlainKey(raw))
        throw data::Error(
            QStringLiteral("Ключът в „%1“ не е защитен с парола: такъв файл не се приема.")
                .arg(path));
    const bool macHolds = gnutls_pkcs12_verify_mac(raw, password.constData()) >= 0;

    gnutls_x509_privkey_t x509Key = nullptr;
    gnutls_x509_crt_t* chain = nullptr;
    unsigned chainSize = 0;
    const int parsed =
        gnutls_pkcs12_simple_parse(raw, password.constData(), &x509Key, &chain, &chainSize, nullptr,
                                   nullptr, nullptr, GNUTLS_PKCS12_SP_INCLUDE_SELF_SIGNED);
    gnutls::X509PrivateKey ownedKey(x509Key);
    std::vector<gnutls::Certificate> certificates;
    for (unsigned i = 0; i < chainSize; ++i)
        certificates.emplace_back(chain[i]);
    gnutls_free(chain);
    // The code fails alike for a wrong password and for a changed byte; the key opening with
    // the password tells them apart.
    if (!macHolds && parsed >= 0)
        throw data::Error(QStringLiteral("„%1“ е повреден: кодът му за цялост (MAC) не отговаря "
                                         "на съдържанието; нищо не е подписано.")
                              .arg(path));
    if (!macHolds)
        throw data::Error(QStringLiteral("Грешна парола за „%1“ (или файлът е повреден): нищо "
                                         "не е подписано.")
                              .arg(path));
    const QString unreadable = QStringLiteral("Ключът в „%1“ не може да бъде прочетен").arg(path);
    gnutls::check(parsed, unreadable);
    if (certificates.empty())
        throw data::Error(QStringLiteral("„%1“ не съдържа сертификат за ключа.").arg(path));
    // GnuTLS stops counting at a bound of its own: past ours, only "more" is known.
    if (certificates.size() > std::size_t(kMaxCertificates))
        throw data::Error(QStringLiteral("„%1“ съдържа повече от %2 сертификата за ключа.")
                              .arg(path)
                              .arg(kMaxCertificates));

    auto state = std::make_unique<State>();
    state->certificate = readCertificate(gnutls::certificateDer(certificates.front().get()));
    for (std::size_t i = 1; i < certificates.size(); ++i)
        state->issuers.push_back(gnutls::certificateDer(certificates[i].get()));
    gnutls_privkey_t key = nullptr;
    gnutls::check(gnutls_privkey_init(&key), unreadable);
    state->key.reset(key);
    gnutls::check(gnutls_privkey_import_x509(key, ownedKey.get(), 0), unreadable);
    state->x509Key = std::move(ownedKey);
    return std::unique_ptr<SigningKey>(new SigningKey(std::move(state)));
}

QByteArray SigningKey::signDetached(const QByteArray& content) const {
    if (const QString refusal =
            signingRefusal(state_->certificate, QDateTime::currentDateTimeUtc());
        !refusal.isEmpty())
        throw data::Error(refusal);
    const gnutls::Certificate signer = gnutls::importCertificate(state_->certificate.der);
    gnutls_pkcs7_t raw = nullptr;
    gnutls::check(gnutls_pkcs7_init(&raw), QStringLiteral("Подписът не може да бъде съставен"));
    const gnutls::Pkcs7 signature(raw);

    gnutls_pkcs7_attrs_t attributes = nullptr;
    const QByteArray signingCertificate = signingCertificateV2(state_->certificate.der);
    gnutls_datum_t attribute = gnutls::datumOf(signingCertificate);
    int result = gnutls_pkcs7_add_attr(&attributes, kSigningCertificateV2Oid, &attribute, 0);
    const gnutls_datum_t data = gnutls::datumOf(content);
    if (result >= 0)
        result = gnutls_pkcs7_sign(raw, signer.get(), state_->key.get(), &data, attributes, nullptr,
                                   GNUTLS_DIG_SHA256,
                                   GNUTLS_PKCS7_INCLUDE_TIME | GNUTLS_PKCS7_INCLUDE_CERT);
    gnutls_pkcs7_attrs_deinit(attributes);
    if (state_->pin)
        refuseForPin(*state_->pin);
    gnutls::check(result, QStringLiteral("Подписването не успя"));
    for (const QByteArray& issuer : state_->issuers) {
        const gnutls_datum_t der = gnutls::datumOf(issuer);
        gnutls::check(gnutls_pkcs7_set_crt_raw(raw, &der),
                      QStringLiteral("Веригата сертификати не може да бъде добавена"));
    }
    gnutls::OwnedDatum der;
    gnutls::check(gnutls_pkcs7_export2(raw, GNUTLS_X509_FMT_DER, &der),
                  QStringLiteral("Подписът не може да бъде записан"));
    return der.bytes();
}

QString signaturePath(const QString& path) {
    return path + QStringLiteral(".p7s");
}

QString signFile(const SigningKey& key, const QString& path) {
    const QByteArray content =
        readBounded(path, kMaxSignedFileBytes, QStringLiteral("Файлът за подписване"));
    const QByteArray signature = key.signDetached(content);
    const QString written = signaturePath(path);
    try {
        data::writeOutputFile(
            written, [&](QFile& file) { return file.write(signature) == signature.size(); });
    } catch (const data::OutputError& error) {
        throw data::Error(QStringLiteral("Подписът „%1“ не може да бъде записан: %2.")
                              .arg(written, error.reason()));
    }
    return written;
}

} // namespace sign
