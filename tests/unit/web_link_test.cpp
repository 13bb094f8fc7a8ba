// The one filter both programs put before the shell: the result window's links
// and Fetchrun's task dialog links.
#include <gtest/gtest.h>

#include <string>

#include "common/web_link.h"

namespace {

TEST(WebLink, OnlyWebAndMailAddressesGoToTheShell) {
    const struct {
        const wchar_t* text;
        bool opened;
    } rows[] = {
        {L"http://www.norvane.example/", true},
        {L"HTTPS://www.norvane.example/battery", true},
        {L"mailto:service@norvane.example", true},
        {L"https://www.norvane.example/a%20b?x=%22y%22", true},  // escaped blank and quotes
        {L"http://www.norvane.example/\x30D0\x30C3\x30C6\x30EA", true},
        {L"http://", false},
        {L"mailto:", false},
        {L"ftp://www.norvane.example/", false},
        {L"C:\\Windows\\System32\\cmd.exe", false},
        {L"\\\\host\\share\\setup.exe", false},
        {L"file:///C:/Windows/notepad.exe", false},
        {L"shell:startup", false},
        {L" http://www.norvane.example/", false},
        {L"http://www.norvane.example/ --new", false},
        {L"http://www.norvane.example/\" --new-window \"x", false},
        {L"http://www.norvane.example/\t", false},
        {L"http://www.norvane.example/\x7F", false},
        {L"http://www.norvane.example/\x85", false},
        {L"", false},
    };
    int row = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(r.opened, cw::IsWebLink(r.text)) << "row " << row;
        ++row;
    }
}

}  // namespace
