// The mail sender: the exact argument vector handed to the desktop's mail
// program, and the results, messages and files of a send.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "browser/SendMail_For_Wb.h"
#include "classlib/forms.h"
#include "classlib/thread.h"
#include "platform/os/file.h"
#include "platform/os/process.h"
#include "support/tempdir.h"

namespace {

TEST(MailCommand, RecipientsSubjectBodyAndAttachmentsBecomeSeparateArguments) {
    TempDir dir;
    std::string a = dir.write("report one.pdf", "%PDF");
    std::string b = dir.write("notes.txt", "n");
    TWbMapiMail mail(nullptr);
    mail.Subject = "Say \"hi\" & go";
    mail.Body = "Line 1\nЗдравствуйте; $(rm -rf /)";
    mail.Recipients()->Add("to@example.org");
    mail.Recipients()->Add("cc:copy@example.org");
    mail.Recipients()->Add("bcc:hidden@example.org");
    mail.Recipients()->Add("CC: \tspaced@example.org ");
    mail.Recipients()->Add("Bcc:  far@example.org");
    mail.Recipients()->Add("Ömer <o@example.org>");
    mail.Attachments()->Add(a);
    mail.Attachments()->Add(b);
    mail.AttachmentNames()->Add("Bericht \"März\".pdf");
    std::string staging = dir.file("stage");
    std::vector<std::string> argv = mail.MailCommand(staging);
    std::string renamed = staging + "/0/Bericht \"März\".pdf";
    std::vector<std::string> want{"xdg-email",      "--utf8",
                                  "--cc",           "copy@example.org",
                                  "--bcc",          "hidden@example.org",
                                  "--cc",           "spaced@example.org",
                                  "--bcc",          "far@example.org",
                                  "--subject",      "Say \"hi\" & go",
                                  "--body",         "Line 1\nЗдравствуйте; $(rm -rf /)",
                                  "--attach",       renamed,
                                  "--attach",       b,
                                  "to@example.org", "Ömer <o@example.org>"};
    EXPECT_EQ(argv, want);
    std::string copy;
    ASSERT_TRUE(os::ReadWholeFile(renamed, copy, 100));
    EXPECT_EQ(copy, "%PDF");
}

TEST(MailSend, ResultsFollowTheMailProgram) {
    TempDir dir;
    std::vector<std::vector<std::string>> started;
    bool accept = true;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        started.push_back(argv);
        return accept;
    });
    TWbMapiMail mail(nullptr);
    mail.Recipients()->Add("to@example.org");
    EXPECT_EQ(mail.SendNow(), MAPI_SUCCESS);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0][0], "xdg-email");
    // No mail program: the general failure.
    accept = false;
    EXPECT_EQ(mail.SendNow(), MAPI_E_FAILURE);
    // A missing attachment is found before anything starts.
    mail.Attachments()->Add(dir.file("gone.pdf"));
    EXPECT_EQ(mail.SendNow(), MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_EQ(started.size(), 2u);
    os::SetLaunchHook(nullptr);
    EXPECT_EQ(MapiErrorText(2), "General MAPI failure");
    EXPECT_EQ(MapiErrorText(7), "Unknown Error Code: 7");
}

TEST(MailSend, CopiesUnderOtherNamesStayForTheComposerUntilTheProgramEnds) {
    TempDir dir;
    std::string file = dir.write("tmp123.html", "<html>page</html>");
    std::string copy;
    bool copyThere = false;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        auto at = std::find(argv.begin(), argv.end(), "--attach");
        if (at != argv.end() && at + 1 != argv.end()) {
            copy = *(at + 1);
            copyThere = os::IsFile(copy);
        }
        return true;
    });
    TWbMapiMail mail(nullptr);
    mail.Attachments()->Add(file);
    mail.AttachmentNames()->Add("Страница 1.html");
    EXPECT_EQ(mail.SendNow(), MAPI_SUCCESS);
    os::SetLaunchHook(nullptr);
    EXPECT_TRUE(copyThere);
    EXPECT_NE(copy.find("/Страница 1.html"), std::string::npos);
    // The composer the mail program started reads the copy after it returned.
    EXPECT_EQ(dir.read("tmp123.html"), "<html>page</html>");
    std::string bytes;
    ASSERT_TRUE(os::ReadWholeFile(copy, bytes, 1 << 20));
    EXPECT_EQ(bytes, "<html>page</html>");
    auto kept = MailFilesKept();
    EXPECT_NE(std::find(kept.begin(), kept.end(), copy), kept.end());
    // At the program's end the copy and its folders go; the caller's file is
    // not the sender's to delete.
    RemoveMailFiles();
    EXPECT_FALSE(os::IsFile(copy));
    EXPECT_FALSE(os::IsDirectory(copy.substr(0, copy.rfind('/'))));
    EXPECT_TRUE(os::IsFile(file));
}

TEST(MailSend, TheThreadKeepsAttachmentsToTheEndAndReportsFailureToTheOwner) {
    TempDir dir;
    os::SetLaunchHook([](const std::vector<std::string>&, const std::string&) { return false; });
    TForm owner(nullptr);
    owner.HandleNeeded(); // the failure goes to the owner's window
    int failures = 0;
    TWndMethod old = owner.WindowProc;
    owner.WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_MAIL_FAILED) ++failures;
        old(m);
    };
    auto* mail = new TWbMapiMail(&owner);
    std::string file = dir.write("page.html", "<html></html>");
    mail->Attachments()->Add(file);
    EXPECT_TRUE(mail->Send());
    auto kept = [&] {
        auto all = MailFilesKept();
        return std::find(all.begin(), all.end(), file) != all.end();
    };
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((failures == 0 || !kept()) && std::chrono::steady_clock::now() < end) {
        CheckSynchronize(10);
        Application->ProcessMessages();
    }
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(kept());
    EXPECT_TRUE(os::IsFile(file));
    EXPECT_EQ(owner.ComponentCount(), 0);
    RemoveMailFiles();
    EXPECT_FALSE(os::IsFile(file));
    os::SetLaunchHook(nullptr);
    // The hook refers to locals that go before the form does.
    owner.WindowProc = old;
}

} // namespace
