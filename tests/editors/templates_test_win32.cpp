// The three dialog templates as the dialogs show them: every control in template (tab) order with its
// ID, kind, tab stop and rectangle in dialog units, the frame style and the font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/text_win32.h"
#include "dialog_harness_win32.h"
#include "editors/editors_win32.h"

namespace kd215::wintest {
namespace {

struct Row {
    int id;
    const wchar_t* kind;  // window class
    int x, y, width, height;
    bool tabStop;
};

constexpr int kNoId = 65535;

std::vector<Row> specEditRows() {
    std::vector<Row> rows = {{110, L"Button", 9, 11, 65, 130, false}};
    for (int n = 0; n < 8; ++n) rows.push_back({140 + n, L"Button", 20, 21 + 15 * n, 46, 12, true});
    rows.insert(rows.end(), {{111, L"Button", 9, 140, 65, 56, false},
                             {150, L"Button", 18, 151, 50, 12, true},
                             {151, L"Button", 18, 166, 50, 12, false},
                             {152, L"Button", 18, 181, 50, 12, false},
                             {kNoId, L"Button", 80, 11, 94, 185, false},
                             {112, L"Static", 87, 25, 37, 10, false},
                             {113, L"Static", 130, 25, 38, 10, false},
                             {201, L"ScrollBar", 95, 38, 16, 125, false},
                             {202, L"ScrollBar", 140, 38, 16, 125, false},
                             {401, L"Edit", 95, 175, 16, 10, true},
                             {402, L"Edit", 140, 175, 16, 10, true},
                             {kNoId, L"Button", 181, 11, 93, 115, false}});
    for (int m = 0; m < 7; ++m) rows.push_back({130 + m, L"Button", 190, 21 + 15 * m, 60, 12, m == 0});
    rows.insert(rows.end(), {{102, L"Button", 184, 174, 40, 14, true}, {2, L"Button", 235, 174, 40, 14, true}});
    return rows;
}

std::vector<Row> chnlEditRows() {
    return {{110, L"Button", 12, 4, 191, 32, false},     {111, L"Static", 20, 18, 40, 10, false},
            {106, L"Edit", 60, 16, 16, 12, true},        {103, L"Button", 76, 16, 6, 6, false},
            {104, L"Button", 76, 22, 6, 6, false},       {101, L"Button", 123, 14, 40, 14, true},
            {kNoId, L"Button", 12, 39, 191, 61, false},  {kNoId, L"Static", 15, 51, 40, 10, false},
            {kNoId, L"Static", 15, 67, 40, 10, false},   {kNoId, L"Static", 15, 83, 40, 10, false},
            {209, L"ScrollBar", 57, 50, 110, 12, false}, {210, L"ScrollBar", 57, 66, 110, 12, false},
            {211, L"ScrollBar", 57, 82, 110, 12, false}, {401, L"Edit", 178, 51, 16, 10, true},
            {402, L"Edit", 178, 67, 16, 10, true},       {403, L"Edit", 178, 83, 16, 10, true},
            {kNoId, L"Button", 12, 104, 191, 61, false}, {kNoId, L"Static", 15, 120, 40, 10, false},
            {kNoId, L"Static", 15, 139, 40, 10, false},  {212, L"ScrollBar", 57, 119, 110, 12, false},
            {213, L"ScrollBar", 57, 138, 110, 12, false}, {404, L"Edit", 178, 120, 16, 10, true},
            {405, L"Edit", 178, 139, 16, 10, true},      {108, L"Button", 92, 170, 100, 12, true},
            {107, L"Button", 13, 170, 75, 12, true},     {102, L"Button", 106, 186, 40, 14, true},
            {2, L"Button", 160, 186, 40, 14, true}};
}

std::vector<Row> edycjaRows() {
    std::vector<Row> rows = {
        {kNoId, L"Button", 3, 5, 79, 61, false},    {kNoId, L"Static", 14, 22, 40, 9, false},
        {105, L"Edit", 50, 20, 16, 12, true},       {103, L"Button", 66, 20, 6, 6, false},
        {104, L"Button", 66, 26, 6, 6, false},      {101, L"Button", 24, 42, 40, 14, true},
        {kNoId, L"Button", 88, 5, 191, 61, false},  {kNoId, L"Static", 92, 21, 40, 10, false},
        {112, L"Static", 92, 44, 40, 10, false},    {209, L"ScrollBar", 134, 20, 110, 12, false},
        {210, L"ScrollBar", 134, 43, 110, 12, false}, {409, L"Edit", 255, 22, 16, 10, true},
        {410, L"Edit", 255, 45, 16, 10, true},      {110, L"Button", 3, 67, 276, 169, false}};
    for (int i = 0; i < 8; ++i) rows.push_back({401 + i, L"Edit", 13 + 34 * i, 216, 16, 10, true});
    for (int i = 0; i < 8; ++i) rows.push_back({201 + i, L"ScrollBar", 13 + 34 * i, 80, 16, 125, false});
    rows.insert(rows.end(), {{100, L"Button", 16, 247, 75, 12, true},
                             {102, L"Button", 160, 246, 40, 14, true},
                             {2, L"Button", 230, 246, 40, 14, true}});
    return rows;
}

void expectTemplate(const wchar_t* name, DLGPROC procedure, const std::vector<Row>& rows, int width, int height) {
    EditorFixtureState fixture;
    fixture.state.currentArea = ConfigArea::Program1;  // the scene editor then shows every control
    DialogUnderTest dialog(name, procedure, fixture.state);
    HWND d = dialog.hwnd();
    ASSERT_NE(d, nullptr);

    const LONG style = GetWindowLongW(d, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & DS_MODALFRAME);
    EXPECT_FALSE(style & WS_SYSMENU) << "no system menu";
    RECT size{0, 0, width, height};
    MapDialogRect(d, &size);
    RECT client;
    GetClientRect(d, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d, WM_GETFONT, 0, 0)), sizeof font, &font);
    HDC dc = GetDC(d);
    const int points = MulDiv(-font.lfHeight, 72, GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(d, dc);
    EXPECT_EQ(points, 8);
    // "MS Shell Dlg" is a name the system maps to its dialog face (Tahoma here), never the bitmap font.
    EXPECT_NE(std::wstring(font.lfFaceName), L"MS Sans Serif");

    HWND child = GetWindow(d, GW_CHILD);
    for (std::size_t i = 0; i < rows.size(); ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const Row& row = rows[i];
        ASSERT_NE(child, nullptr) << "row " << i;
        EXPECT_EQ(GetDlgCtrlID(child), row.id) << "row " << i;
        wchar_t kind[32] = {};
        GetClassNameW(child, kind, 32);
        EXPECT_EQ(_wcsicmp(kind, row.kind), 0) << "row " << i << " " << narrow(kind);
        EXPECT_EQ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0, row.tabStop) << "row " << i;
        // The dialog manager maps the position and the size each on its own, as this does.
        RECT expected{row.x, row.y, row.width, row.height};
        MapDialogRect(d, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left) << "row " << i;
        EXPECT_EQ(actual.top, expected.top) << "row " << i;
        EXPECT_EQ(actual.right, expected.right) << "row " << i;
        EXPECT_EQ(actual.bottom, expected.bottom) << "row " << i;
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the table";
}

TEST(DialogTemplates, SpecEditControlByControl) {
    expectTemplate(L"SPECEDIT", CommonSettingsDialogProc, specEditRows(), 284, 205);
}

TEST(DialogTemplates, ChnlEditControlByControl) {
    expectTemplate(L"CHNLEDIT", ChannelDialogProc, chnlEditRows(), 207, 207);
}

TEST(DialogTemplates, EdycjaControlByControl) {
    expectTemplate(L"EDYCJA", SceneProgramDialogProc, edycjaRows(), 284, 265);
}

TEST(DialogTemplates, RadioGroupsStayApart) {
    EditorFixtureState fixture;
    DialogUnderTest dialog(L"SPECEDIT", CommonSettingsDialogProc, fixture.state);
    dialog.click(151);
    dialog.click(134);
    EXPECT_TRUE(dialog.checked(151)) << "a mode click leaves the common input alone";
    EXPECT_TRUE(dialog.checked(134));
    dialog.click(150);
    EXPECT_TRUE(dialog.checked(134));
    EXPECT_FALSE(dialog.checked(151));
}

}  // namespace
}  // namespace kd215::wintest
