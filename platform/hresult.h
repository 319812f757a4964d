#pragma once
// Result codes of the automation platform: 32-bit signed, negative = failure.
#include <cstdint>

using HRESULT = int32_t;
using SCODE = int32_t;
using DISPID = int32_t;

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// Builds an HRESULT from its unsigned hexadecimal spelling.
constexpr HRESULT HResult(uint32_t bits) {
    return static_cast<HRESULT>(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = HResult(0x80004002);
constexpr HRESULT E_POINTER = HResult(0x80004003);
constexpr HRESULT E_FAIL = HResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = HResult(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = HResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = HResult(0x80070057);
constexpr HRESULT E_ACCESSDENIED = HResult(0x80070005);

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HResult(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HResult(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = HResult(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = HResult(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = HResult(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = HResult(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = HResult(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = HResult(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = HResult(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = HResult(0x8002000B);
constexpr HRESULT DISP_E_ARRAYISLOCKED = HResult(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = HResult(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = HResult(0x8002000F);

constexpr HRESULT TYPE_E_TYPEMISMATCH = HResult(0x80028CA0);
constexpr HRESULT TYPE_E_OUTOFBOUNDS = HResult(0x80028CA1);

// Win32 errors as HRESULTs (facility 7).
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t code) {
    return code == 0 ? 0 : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}
constexpr HRESULT ERROR_FILE_NOT_FOUND_HR = HResult(0x80070002);
constexpr HRESULT ERROR_INVALID_DATA_HR = HResult(0x8007000D);
constexpr HRESULT ERROR_READ_FAULT_HR = HResult(0x8007001E);
constexpr HRESULT ERROR_DIVIDE_BY_ZERO_HR = HResult(0x80071F40);  // system error 8000

// Control-framework errors raised for unsupported property access.
constexpr HRESULT CTL_E_SETNOTSUPPORTED = HResult(0x800A017F);  // write to a read-only property
constexpr HRESULT CTL_E_GETNOTSUPPORTED = HResult(0x800A018A);  // read of a write-only property

constexpr HRESULT SELFREG_E_TYPELIB = HResult(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = HResult(0x80040201);

// Per-property browsing: the property has no page of its own.
constexpr HRESULT PERPROP_E_NOPAGEAVAILABLE = HResult(0x80040200);

// The platform's 32-bit Boolean (any nonzero value is true).
using BOOL = int32_t;
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
