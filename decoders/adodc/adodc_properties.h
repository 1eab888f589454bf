// What each property of the ADO data control's block is: the control block's longs, the nine
// counted texts and the caption font's group (its members are font.h's, but for the two this
// control describes in its own words).
#pragma once

#include "tvx/property.h"

namespace tvx::adodc {

inline constexpr Constant kModes[] = {
    {0, "adModeUnknown"},         {1, "adModeRead"},           {2, "adModeWrite"},
    {3, "adModeReadWrite"},       {4, "adModeShareDenyRead"},  {8, "adModeShareDenyWrite"},
    {12, "adModeShareExclusive"}, {16, "adModeShareDenyNone"}, {4194304, "adModeRecursive"}};
inline constexpr Constant kCursorLocations[] = {
    {1, "adUseNone"}, {2, "adUseServer"}, {3, "adUseClient"}};
inline constexpr Constant kIsolationLevels[] = {
    {-1, "adXactUnspecified"},       {16, "adXactChaos"},
    {256, "adXactBrowse"},           {4096, "adXactCursorStability"},
    {65536, "adXactRepeatableRead"}, {1048576, "adXactIsolated"}};
inline constexpr Constant kCursorTypes[] = {{-1, "adOpenUnspecified"},
                                            {0, "adOpenForwardOnly"},
                                            {1, "adOpenKeyset"},
                                            {2, "adOpenDynamic"},
                                            {3, "adOpenStatic"}};
inline constexpr Constant kLockTypes[] = {{-1, "adLockUnspecified"},
                                          {1, "adLockReadOnly"},
                                          {2, "adLockPessimistic"},
                                          {3, "adLockOptimistic"},
                                          {4, "adLockBatchOptimistic"}};
inline constexpr Constant kCommandTypes[] = {
    {-1, "adCmdUnspecified"}, {1, "adCmdText"},   {2, "adCmdTable"},        {4, "adCmdStoredProc"},
    {8, "adCmdUnknown"},      {256, "adCmdFile"}, {512, "adCmdTableDirect"}};
inline constexpr Constant kBOFActions[] = {{0, "adDoMoveFirst"}, {1, "adStayBOF"}};
inline constexpr Constant kEOFActions[] = {
    {0, "adDoMoveLast"}, {1, "adStayEOF"}, {2, "adDoAddNew"}};
inline constexpr Constant kAppearances[] = {{0, "adFlat"}, {1, "ad3D"}};
inline constexpr Constant kOrientations[] = {{0, "adHorizontal"}, {1, "adVertical"}};

using T = PropertyType;
inline constexpr PropertyDef kConnectMode = {"ConnectMode", T::kEnumerated, kModes,
                                             "the access the connection asks for (Mode)",
                                             "control block offset 32: a long"};
inline constexpr PropertyDef kCursorLocation = {"CursorLocation", T::kEnumerated, kCursorLocations,
                                                "where the cursor library runs",
                                                "control block offset 36: a long"};
inline constexpr PropertyDef kIsolationLevel = {
    "IsolationLevel", T::kEnumerated, kIsolationLevels, "the transactions' isolation",
    "control block offset 40: a long (all bits set is written as -1)"};
inline constexpr PropertyDef kConnectionTimeout = {"ConnectionTimeout",
                                                   T::kInteger,
                                                   {},
                                                   "seconds to wait for the connection",
                                                   "control block offset 44: a long"};
inline constexpr PropertyDef kCommandTimeout = {"CommandTimeout",
                                                T::kInteger,
                                                {},
                                                "seconds to wait for a command",
                                                "control block offset 48: a long"};
inline constexpr PropertyDef kCursorType = {"CursorType", T::kEnumerated, kCursorTypes,
                                            "the kind of cursor the recordset uses",
                                            "control block offset 52: a long"};
inline constexpr PropertyDef kLockType = {"LockType", T::kEnumerated, kLockTypes,
                                          "how records are locked while edited",
                                          "control block offset 56: a long (all bits set is -1)"};
inline constexpr PropertyDef kCommandType = {"CommandType", T::kEnumerated, kCommandTypes,
                                             "what RecordSource names",
                                             "control block offset 60: a long"};
inline constexpr PropertyDef kCursorOptions = {
    "CursorOptions", T::kInteger, {}, "cursor options", "control block offset 64: a long"};
inline constexpr PropertyDef kCacheSize = {
    "CacheSize", T::kInteger, {}, "records held in memory", "control block offset 68: a long"};
inline constexpr PropertyDef kMaxRecords = {"MaxRecords",
                                            T::kInteger,
                                            {},
                                            "most records a query returns (0: no limit)",
                                            "control block offset 72: a long"};
inline constexpr PropertyDef kBOFAction = {"BOFAction", T::kEnumerated, kBOFActions,
                                           "what moving before the first record does",
                                           "control block offset 76: a long"};
inline constexpr PropertyDef kEOFAction = {"EOFAction", T::kEnumerated, kEOFActions,
                                           "what moving past the last record does",
                                           "control block offset 80: a long"};
inline constexpr PropertyDef kConnectStringType = {
    "ConnectStringType",
    T::kInteger,
    {},
    "which kind of connection the property pages set",
    "control block offset 84: a long"};
inline constexpr PropertyDef kAppearance = {"Appearance", T::kEnumerated, kAppearances,
                                            "flat or three-dimensional",
                                            "control block offset 88: a long"};
inline constexpr PropertyDef kBackColor = {
    "BackColor",
    T::kColour,
    {},
    "the background colour",
    "control block offset 92: a long (above 0xFFFFFF written as a signed number)"};
inline constexpr PropertyDef kForeColor = {
    "ForeColor",
    T::kColour,
    {},
    "the text colour",
    "control block offset 96: a long (above 0xFFFFFF written as a signed number)"};
inline constexpr PropertyDef kOrientation = {"Orientation", T::kEnumerated, kOrientations,
                                             "how the buttons are laid out",
                                             "control block offset 100: a long"};
inline constexpr PropertyDef kEnabled = {
    "Enabled",
    T::kBoolean,
    {},
    "whether the control answers the user",
    "control block offset 104: a long (all bits of a word or a long set are written as -1)"};
inline constexpr PropertyDef kConnect = {
    "Connect",
    T::kText,
    {},
    "the connection string",
    "control block, after Enabled: the first of nine counted texts, each a long count of UTF-16 "
    "units, then the units (the low byte of each); a count of 0 holds no text"};
inline constexpr PropertyDef kOLEDBString = {
    "OLEDBString", T::kText, {}, "the OLE DB connection string", "the second of the counted texts"};
inline constexpr PropertyDef kOLEDBFile = {
    "OLEDBFile", T::kText, {}, "the data link file", "the third of the counted texts"};
inline constexpr PropertyDef kDataSourceName = {
    "DataSourceName", T::kText, {}, "the ODBC data source", "the fourth of the counted texts"};
inline constexpr PropertyDef kOtherAttributes = {"OtherAttributes",
                                                 T::kText,
                                                 {},
                                                 "further connection attributes",
                                                 "the fifth of the counted texts"};
inline constexpr PropertyDef kUserName = {"UserName",
                                          T::kText,
                                          {},
                                          "the user the connection logs on as",
                                          "the sixth of the counted texts"};
inline constexpr PropertyDef kPassword = {
    "Password", T::kText, {}, "the password it logs on with", "the seventh of the counted texts"};
inline constexpr PropertyDef kRecordSource = {"RecordSource",
                                              T::kText,
                                              {},
                                              "the table, query or procedure the records come from",
                                              "the eighth of the counted texts"};
inline constexpr PropertyDef kCaption = {
    "Caption", T::kText, {}, "the text shown on the control", "the ninth of the counted texts"};
inline constexpr PropertyDef kFont = {
    "Font", T::kGroup, {}, "the caption's font", "the font record after the counted texts"};
inline constexpr PropertyDef kFontName = {
    "Name", T::kText, {}, "the face name", "font record: a byte count, then the name's bytes"};
inline constexpr PropertyDef kFontCharset = {
    "Charset", T::kInteger, {}, "the character set", "font record offset 1: a word"};

}  // namespace tvx::adodc
