#include "common/signature.h"

#include <softpub.h>
#include <wincrypt.h>

#include <cstring>
#include <string>

#include "common/call_seam.h"

namespace cw {
namespace {

CallSeam<WinVerifyTrustCall> g_winVerifyTrust(&WinVerifyTrust);

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

// The signer's own certificate from the state of a verification that kept it.
bool SignerIs(HANDLE state, const wchar_t* publisher) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
    if (!provider) return false;
    CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return false;
    return HasOnlyCommonName(signer->pasCertChain[0].pCert, publisher);
}

}  // namespace

WinVerifyTrustCall UseWinVerifyTrust(WinVerifyTrustCall call) { return g_winVerifyTrust.Use(call); }

LONG VerifyFileSignature(const wchar_t* path, DWORD uiChoice, WintrustSize size, HANDLE handle,
                         const wchar_t* publisher) {
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
    if (result == 0 && !SignerIs(data.hWVTStateData, publisher)) result = TRUST_E_SUBJECT_NOT_TRUSTED;
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
