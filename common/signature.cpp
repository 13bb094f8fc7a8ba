#include "common/signature.h"

#include <softpub.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "common/call_seam.h"
#include "common/der_reader.h"
#include "common/sha256.h"

namespace cw {
namespace {

CallSeam<WinVerifyTrustCall> g_winVerifyTrust(&WinVerifyTrust);

bool SameBytes(const BYTE* a, DWORD aSize, const BYTE* b, DWORD bSize) {
    return aSize == bSize && (aSize == 0 || std::memcmp(a, b, aSize) == 0);
}

// Algorithm, its parameters and the key bits, byte for byte.
bool SameKeyInfo(const CERT_PUBLIC_KEY_INFO& a, const CERT_PUBLIC_KEY_INFO& b) {
    const CRYPT_ALGORITHM_IDENTIFIER& x = a.Algorithm;
    const CRYPT_ALGORITHM_IDENTIFIER& y = b.Algorithm;
    return x.pszObjId && y.pszObjId && std::strcmp(x.pszObjId, y.pszObjId) == 0 &&
           SameBytes(x.Parameters.pbData, x.Parameters.cbData, y.Parameters.pbData, y.Parameters.cbData) &&
           SameBytes(a.PublicKey.pbData, a.PublicKey.cbData, b.PublicKey.pbData, b.PublicKey.cbData) &&
           a.PublicKey.cUnusedBits == b.PublicKey.cUnusedBits;
}

// Whether the subject of `certificate` has exactly one common name, equal to
// `publisher`. Two names would leave open which one the signer stands for.
bool HasOnlyCommonName(PCCERT_CONTEXT certificate, const wchar_t* publisher) {
    const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
    CERT_NAME_INFO* name = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME, subject.pbData, subject.cbData, CRYPT_DECODE_ALLOC_FLAG,
                             nullptr, &name, &size)) {
        return false;
    }
    const unique_local owned(name);  // allocated by the decoder
    int matches = 0;
    int commonNames = 0;
    for (DWORD r = 0; r < name->cRDN; ++r) {
        const CERT_RDN& rdn = name->rgRDN[r];
        for (DWORD a = 0; a < rdn.cRDNAttr; ++a) {
            const CERT_RDN_ATTR& attribute = rdn.rgRDNAttr[a];
            if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_COMMON_NAME) != 0) continue;
            ++commonNames;
            // The count includes the terminator; a name with an embedded NUL keeps
            // its full length and so never equals the shorter publisher name.
            CERT_RDN_VALUE_BLOB* value = const_cast<CERT_RDN_VALUE_BLOB*>(&attribute.Value);
            const DWORD length = CertRDNValueToStrW(attribute.dwValueType, value, nullptr, 0);
            if (length == 0) continue;
            std::wstring text(length, L'\0');
            CertRDNValueToStrW(attribute.dwValueType, value, &text[0], length);
            text.resize(length - 1);
            if (text == publisher) ++matches;
        }
    }
    return commonNames == 1 && matches == 1;
}

// The bytes of the SubjectPublicKeyInfo as they stand in the certificate's
// encoding, only when they decode to the very key CryptoAPI took from that
// certificate (the one the signature was checked with): a walk that read the
// bytes otherwise than the decoder did must not judge another key.
bool FindEncodedKey(PCCERT_CONTEXT certificate, const BYTE*& key, DWORD& size) {
    const ByteReader encoded(certificate->pbCertEncoded, certificate->cbCertEncoded);
    DerElement element;
    if (!FindSubjectPublicKeyInfo(encoded, element)) return false;
    key = certificate->pbCertEncoded + element.offset;
    size = static_cast<DWORD>(element.Size());

    CERT_PUBLIC_KEY_INFO* decoded = nullptr;
    DWORD decodedSize = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, size, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &decoded, &decodedSize)) {
        return false;
    }
    const unique_local owned(decoded);  // allocated by the decoder
    return SameKeyInfo(*decoded, certificate->pCertInfo->SubjectPublicKeyInfo);
}

// The signer's own certificate from the state of a verification that kept it.
PCCERT_CONTEXT SignerCertificate(HANDLE state) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
    if (!provider) return nullptr;
    CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain) return nullptr;
    return signer->pasCertChain[0].pCert;
}

}  // namespace

bool SubjectPublicKeyHash(PCCERT_CONTEXT certificate, KeyHashText& text) {
    text.digits[0] = '\0';
    const BYTE* key = nullptr;
    DWORD size = 0;
    if (!certificate || !FindEncodedKey(certificate, key, size)) return false;
    Sha256 hash;
    std::vector<BYTE> digest;
    if (!hash.Begin() || !hash.Add(key, size) || !hash.Finish(digest) || digest.size() != kSha256Size) return false;
    static constexpr char kDigits[] = "0123456789abcdef";
    char* out = text.digits;
    for (BYTE b : digest) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 0x0F];
    }
    *out = '\0';
    return true;
}

bool IsPublisherCertificate(PCCERT_CONTEXT certificate, const Publisher& publisher) {
    if (!certificate || !publisher.name || !HasOnlyCommonName(certificate, publisher.name)) return false;
    KeyHashText key;
    if (!SubjectPublicKeyHash(certificate, key)) return false;
    for (std::size_t i = 0; i < publisher.keyCount; ++i) {
        if (publisher.keys[i] && std::strcmp(key.digits, publisher.keys[i]) == 0) return true;
    }
    return false;
}

WinVerifyTrustCall UseWinVerifyTrust(WinVerifyTrustCall call) { return g_winVerifyTrust.Use(call); }

LONG VerifyFileSignature(const wchar_t* path, DWORD uiChoice, WintrustSize size, HANDLE handle,
                         const Publisher* publisher) {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path;
    file.hFile = handle;

    WintrustDataEx data = {};
    data.cbStruct = static_cast<DWORD>(size);
    data.dwUIChoice = uiChoice;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    // Without a publisher no state is kept; with one, the state holds the signer
    // until it has been looked at, and is then closed on every path.
    data.dwStateAction = publisher ? WTD_STATEACTION_VERIFY : WTD_STATEACTION_IGNORE;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const HWND window = static_cast<HWND>(INVALID_HANDLE_VALUE);
    LONG result = g_winVerifyTrust.Get()(window, &action, &data);
    if (!publisher) return result;
    if (result == 0 && !IsPublisherCertificate(SignerCertificate(data.hWVTStateData), *publisher)) {
        result = TRUST_E_SUBJECT_NOT_TRUSTED;
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    g_winVerifyTrust.Get()(window, &action, &data);
    return result;
}

unique_file HoldFileForReading(const wchar_t* path) {
    return unique_file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

unique_file HoldTrustedFile(const wchar_t* path, DWORD uiChoice, WintrustSize size) {
    unique_file held = HoldFileForReading(path);
    if (held && VerifyFileSignature(path, uiChoice, size, held.get()) != 0) held.reset();
    return held;
}

}  // namespace cw
