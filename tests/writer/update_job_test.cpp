#include "app/run_helpers.h"
#include "app/text_format.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::RunProgram;

BookmarkRecord Record(int item, const std::string& name,
                      std::vector<BookmarkRecord> children = {}) {
    BookmarkRecord record;
    record.item = item;
    record.name = name;
    record.children = std::move(children);
    return record;
}

std::string Shape(const std::vector<BookmarkRecord>& records) {
    std::string out;
    for (const BookmarkRecord& record : records) {
        out += record.name;
        if (!record.children.empty()) out += "[" + Shape(record.children) + "]";
        out += " ";
    }
    return out;
}

TEST(MergeTest, ReplacesWithSubtreeInsertsAfterAndIgnoresUnknownItems) {
    CFolivants application;
    application.existingBookmarks = {Record(1, "a", {Record(2, "a1"), Record(3, "a2")}),
                                     Record(4, "b")};
    BookmarkRecord inserted = Record(4, "after-b");
    inserted.insert = true;
    application.bookmarks = {Record(2, "new-a1", {Record(9, "deep")}), inserted,
                             Record(77, "ghost")};
    application.MergeBookmarks(application.bookmarks);
    EXPECT_EQ(Shape(application.existingBookmarks), "a[new-a1[deep ] a2 ] b after-b ");

    // A replacement takes the record's whole subtree, whose children are then
    // merged by number in their turn.
    application.existingBookmarks = {Record(1, "a", {Record(2, "a1")}), Record(3, "b")};
    application.bookmarks = {Record(1, "A", {Record(3, "B-inside")})};
    application.MergeBookmarks(application.bookmarks);
    EXPECT_EQ(Shape(application.existingBookmarks), "A[B-inside ] B-inside ");
}

std::string Names(const std::string& xml) {
    std::string out;
    for (size_t at = xml.find("<Level>"); at != std::string::npos;
         at = xml.find("<Level>", at + 1)) {
        size_t name = xml.find("<Name>", at) + 6;
        out += xml.substr(at + 7, xml.find('<', at + 7) - at - 7) + ":" +
               xml.substr(name, xml.find("</Name>", name) - name) + " ";
    }
    return out;
}

TEST(UpdateJobTest, AppliesRecordsToTheExistingOutline) {
    TempDir dir;
    fixture::PdfBuilder builder = fixture::simpleDocument(2, "/Outlines 9 0 R");
    builder.object(9, "<< /Type /Outlines /First 10 0 R /Last 12 0 R /Count 2 >>");
    builder.object(10,
                   "<< /Title <FEFF00410028005C4E2D> /Parent 9 0 R /Next 12 0 R /First 11 0 R "
                   "/Last 11 0 R /Dest [3 0 R /Fit] >>");
    builder.object(11, "<< /Title (child\\r) /Parent 10 0 R /A << /S /URI /URI (u) >> >>");
    builder.object(12, "<< /Title (last) /Parent 9 0 R /Prev 10 0 R /Dest [4 0 R /FitH 20] >>");
    builder.writeTo(dir.file("in.pdf"));
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n";

    // No records: the outline comes back as it was, Unicode title included.
    writeFile(dir.file("none.xml"), head + "</Bookmarks>\r\n");
    nextItemNumber = 1;
    fixture::RunResult run = RunProgram({"-i" + dir.file("in.pdf"), "-o" + dir.file("same.pdf"),
                                         "-x" + dir.file("none.xml"), "-update"});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(readFile(dir.file("same.pdf"))
                  .find("/Title(\xFE\xFF\x00"
                        "A\x00\\(\x00\\\\N-)\n"),
              std::string::npos);
    nextItemNumber = 1;
    RunProgram({"-i" + dir.file("in.pdf"), "-e" + dir.file("before.xml")});
    nextItemNumber = 1;
    RunProgram({"-i" + dir.file("same.pdf"), "-e" + dir.file("after.xml")});
    EXPECT_EQ(readFile(dir.file("after.xml")), readFile(dir.file("before.xml")));
    EXPECT_FALSE(qpdfCheck(dir.file("same.pdf")).has_value());

    // Item 2 (the child) is replaced, a record is inserted after item 3.
    writeFile(dir.file("edit.xml"),
              head +
                  "\t<Bookmark>\r\n\t\t<Item>2</Item>\r\n\t\t<Level>1</Level>\r\n"
                  "\t\t<Name>&#x4E2D; new</Name>\r\n\t</Bookmark>\r\n"
                  "\t<Bookmark>\r\n\t\t<Item>3</Item>\r\n\t\t<Level>0</Level>\r\n"
                  "\t\t<Name>inserted</Name>\r\n\t\t<Insert>True</Insert>\r\n"
                  "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
                  "\t\t\t<Page>2</Page>\r\n\t\t\t<Destination>Fit</Destination>\r\n"
                  "\t\t</Action>\r\n\t</Bookmark>\r\n</Bookmarks>\r\n");
    nextItemNumber = 1;
    run = RunProgram({"-i" + dir.file("in.pdf"), "-o" + dir.file("edited.pdf"),
                      "-x" + dir.file("edit.xml"), "-update"});
    ASSERT_EQ(run.status, 0) << run.out;
    nextItemNumber = 1;
    RunProgram({"-i" + dir.file("edited.pdf"), "-e" + dir.file("edited.xml")});
    EXPECT_EQ(Names(readFile(dir.file("edited.xml"))),
              "0:A&obr;\\&#x4E2D; 1:&#x4E2D; new 0:last 0:inserted ");
    EXPECT_FALSE(qpdfCheck(dir.file("edited.pdf")).has_value());
}

TEST(PageTableTest, FollowsTheRawPageTree) {
    TempDir dir;
    auto open = [&](fixture::PdfBuilder builder, CFolivants& application) {
        builder.writeTo(dir.file("pages.pdf"));
        application.inputName = dir.file("pages.pdf");
        application.mode = CFolivants::modeAdd;
        application.inputFile.open(application.inputName, "rb");
        application.OpenDocument();
        application.BuildPageTable();
    };
    auto tree = [](const std::string& rootCount, const std::string& extraPage = "") {
        fixture::PdfBuilder builder;
        fixture::SectionOptions options;
        options.trailerExtra = "/Root 1 0 R";
        builder.section(options);
        builder.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.object(2, "<< /Type /Pages /Kids [6 0 R 3 0 R] /Count " + rootCount + " >>");
        builder.object(6, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 >>");
        for (int page : {3, 4, 5}) {
            builder.object(page,
                           "<< /Type /Page /Parent 2 0 R " + (page == 3 ? extraPage : "") + ">>");
        }
        return builder;
    };

    CFolivants depthFirst;
    open(tree("3"), depthFirst);
    EXPECT_EQ(depthFirst.pagesObject, 2u);
    EXPECT_EQ(depthFirst.pageTable, (std::vector<uint32_t>{4, 5, 3}));
    EXPECT_EQ(depthFirst.PageNumberOfObject(3), 3u);
    EXPECT_EQ(depthFirst.PageNumberOfObject(9), 0u);

    CFolivants shortCount;
    open(tree("2"), shortCount);
    EXPECT_EQ(shortCount.pageTable, (std::vector<uint32_t>{4, 5}));

    // A Count beyond the pages that exist gives way to them, and a missing one too.
    CFolivants longCount;
    open(tree("50"), longCount);
    EXPECT_EQ(longCount.pageCount, 3u);
    CFolivants realCount;
    open(tree("3.0"), realCount);
    EXPECT_EQ(realCount.pageCount, 3u);

    // A page whose raw text looks like a node leading back up is damage, not a loop.
    CFolivants looping;
    try {
        open(tree("3", "/Kids [2 0 R] /Note /Pages "), looping);
        FAIL() << "the loop was not noticed";
    } catch (const CPdfException& failure) {
        EXPECT_EQ(failure.Message(), "PDF file was damaged.\n");
    }
}

}  // namespace
