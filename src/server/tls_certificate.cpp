// SPDX-License-Identifier: GPL-3.0-or-later
#include "tls_certificate.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <tuple>

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <unistd.h>

namespace kovrel::server {
namespace {

constexpr int kValidDays = 3652; // ten years

template <typename T, auto Free> struct Deleter
{
    void operator()(T* pointer) const { Free(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

// Throws with OpenSSL's own reason for the last failure.
[[noreturn]] void fail(const std::string& what)
{
    std::array<char, 256> reason{};
    ERR_error_string_n(ERR_get_error(), reason.data(), reason.size());
    throw std::runtime_error(what + ": " + reason.data());
}

std::string hostName()
{
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name.data();
}

void addSubjectAltNames(X509* certificate, const std::string& host)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const std::string names = "DNS:" + host + ",DNS:localhost,IP:127.0.0.1";
    const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, names.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
        fail("cannot name " + host + " in the certificate");
    }
}

Certificate selfSigned(EVP_PKEY* key)
{
    Certificate certificate(X509_new());
    std::uint64_t serial = 0;
    if (!certificate || RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial) != 1) {
        fail("cannot make a certificate");
    }
    const std::string host = hostName();
    X509_NAME* name = X509_get_subject_name(certificate.get());
    const auto* commonName = reinterpret_cast<const unsigned char*>(host.c_str());
    if (X509_set_version(certificate.get(), 2) != 1 ||
        ASN1_INTEGER_set_uint64(X509_get_serialNumber(certificate.get()), serial >> 1) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidDays, 0, nullptr) == nullptr ||
        X509_set_pubkey(certificate.get(), key) != 1 ||
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, commonName, -1, -1, 0) != 1 ||
        X509_set_issuer_name(certificate.get(), name) != 1) {
        fail("cannot make a certificate");
    }
    addSubjectAltNames(certificate.get(), host);
    if (X509_sign(certificate.get(), key, EVP_sha256()) == 0) {
        fail("cannot sign the certificate");
    }
    return certificate;
}

// A file of the pair, readable by the owner only from the first moment. It is written and synced before it
// gets its name where the file system has unnamed files (O_TMPFILE), so that a process killed meanwhile
// leaves nothing behind; elsewhere (NFS, for one) it is made under its name at once.
class NewFile
{
public:
    explicit NewFile(const std::filesystem::path& path) : m_path(path)
    {
        m_fd = ::open(path.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        m_unnamed = m_fd >= 0;
        if (!m_unnamed && (errno == EOPNOTSUPP || errno == EISDIR)) {
            m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        }
        if (m_fd < 0) {
            throw std::system_error(errno, std::generic_category(), "cannot create " + path.string());
        }
    }
    ~NewFile() { ::close(m_fd); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void write(const std::function<int(BIO*)>& write)
    {
        const Bio bio(BIO_new_fd(m_fd, BIO_NOCLOSE));
        if (!bio || write(bio.get()) != 1 || BIO_flush(bio.get()) != 1) {
            fail("cannot write " + m_path.string());
        }
        if (::fsync(m_fd) != 0) {
            throw std::system_error(errno, std::generic_category(), "cannot write " + m_path.string());
        }
    }

    // Gives the file its name, unless it has one already; fails if the name is taken.
    void name()
    {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (m_unnamed && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            throw std::system_error(errno, std::generic_category(), "cannot create " + m_path.string());
        }
    }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_unnamed = false;
};

// The names of new files outlive a crash of the machine only once their folder is synced as well.
void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!synced) {
        throw std::system_error(error, std::generic_category(), "cannot sync " + folder.string());
    }
}

void makePair(const CertificateFiles& files)
{
    const Key key(EVP_EC_gen("P-256"));
    if (!key) {
        fail("cannot make an ECDSA P-256 key");
    }
    const Certificate certificate = selfSigned(key.get());
    // Both are written in full before either is named, the key first: a process killed at any moment
    // leaves the pair, nothing, or (between the two names) a whole key without its certificate.
    NewFile keyFile(files.key);
    keyFile.write([&key](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    NewFile certificateFile(files.certificate);
    certificateFile.write([&certificate](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); });
    keyFile.name();
    certificateFile.name();
    syncFolder(files.key.parent_path());
}

std::filesystem::path fromEnvironment(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

} // namespace

std::filesystem::path ownCertificateFolder(const std::optional<std::filesystem::path>& stateFile)
{
    if (stateFile) {
        const std::filesystem::path folder = stateFile->parent_path();
        return folder.empty() ? "." : folder;
    }
    // systemd separates the folders of several StateDirectory= entries by colons; the first is ours.
    if (const std::string systemd = fromEnvironment("STATE_DIRECTORY").string(); !systemd.empty()) {
        return systemd.substr(0, systemd.find(':'));
    }
    if (const std::filesystem::path xdg = fromEnvironment("XDG_STATE_HOME"); xdg.is_absolute()) {
        return xdg / "kovrel-server";
    }
    const std::filesystem::path home = fromEnvironment("HOME");
    if (home.empty()) {
        throw std::runtime_error("no folder for the server's own certificate: give --tls-dir");
    }
    return home / ".local" / "state" / "kovrel-server";
}

CertificateFiles ownCertificate(const std::filesystem::path& folder)
{
    const CertificateFiles files{folder / "kovrel-server.crt", folder / "kovrel-server.key"};
    const bool hasCertificate = std::filesystem::exists(files.certificate);
    // One file alone is left for the administrator to decide about: a new key beside a certificate that
    // clients already trust would change the server's identity without a word.
    if (hasCertificate != std::filesystem::exists(files.key)) {
        const auto& [present, missing] =
            hasCertificate ? std::tie(files.certificate, files.key) : std::tie(files.key, files.certificate);
        throw std::runtime_error(present.string() + " has no " + missing.filename().string() +
                                 " beside it: put " + missing.filename().string() + " back, remove " +
                                 present.filename().string() +
                                 " to have a new pair made (with a new fingerprint), or give a pair with "
                                 "--tls-cert and --tls-key");
    }
    if (!hasCertificate) {
        std::filesystem::create_directories(folder);
        makePair(files);
    }
    return files;
}

std::string sha256Fingerprint(const std::filesystem::path& certificate)
{
    const Bio bio(BIO_new_file(certificate.c_str(), "r"));
    const Certificate read(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!read || X509_digest(read.get(), EVP_sha256(), digest.data(), &length) != 1) {
        fail("cannot read the certificate " + certificate.string());
    }
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        std::array<char, 4> pair{};
        std::snprintf(pair.data(), pair.size(), i == 0 ? "%02X" : ":%02X", digest[i]);
        text += pair.data();
    }
    return text;
}

asio::ssl::context tlsServerContext(const CertificateFiles& files)
{
    asio::ssl::context context(asio::ssl::context::tls_server);
    context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_compression |
                        asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                        asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
    if (SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION) != 1) {
        fail("cannot require TLS 1.2");
    }
    try {
        context.use_certificate_chain_file(files.certificate.string());
        context.use_private_key_file(files.key.string(), asio::ssl::context::pem);
    } catch (const std::system_error& error) {
        if (ERR_GET_REASON(static_cast<unsigned long>(error.code().value())) == X509_R_KEY_VALUES_MISMATCH) {
            throw std::runtime_error("the key " + files.key.string() + " is not the key of the certificate " +
                                     files.certificate.string() + ": give the two files of one pair");
        }
        throw std::runtime_error("cannot use the certificate " + files.certificate.string() +
                                 " with the key " + files.key.string() + ": " + error.code().message());
    }
    return context;
}

} // namespace kovrel::server
