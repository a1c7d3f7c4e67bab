#pragma once
// Ids of the packed items (resources of type EXTRSC) a packaged application carries.
namespace ItemId {
constexpr int kLoaderWorkbook = 1018;
constexpr int kWorkbook = 1020;
constexpr int kAddIn32 = 1025;
constexpr int kAddIn64 = 1027;
constexpr int kTextOverrides = 1035;
constexpr int kFunctionNames = 1043;
constexpr int kErrorNames = 1045;
constexpr int kSplash = 1050;
constexpr int kAddInFlag1060 = 1060;
constexpr int kAddInFlag1070 = 1070;
constexpr int kSettings = 1100;
constexpr int kNotice = 1105;
constexpr int kAddInFlag1107 = 1107;
constexpr int kAddInData = 1200;
constexpr int kSavedStateLocation = 1220;  // "beside": the saved state beside the executable
constexpr int kWorkbookKey = 1210;  // the password of an encrypted workbook, masked
constexpr int kUpdatePolicy = 1230;  // what an update does with a saved state of another build
constexpr int kWorkbookDigest = 1250;  // tells whether an update changed the packaged workbook
constexpr int kAppIdentity = 1240;  // the application's identity, from the author's key file
constexpr int kRuntimeAnswers = 1260;  // one byte 1: both add-ins answer the start probe
}  // namespace ItemId
