// The resource explorer window over the reader's fixtures, the corpus and libraries made here
// (sample_program.h): the tree against the reader, the page each kind of item gets, saving,
// the version page, the dialog preview, the hex dump and hostile files.
#include "resources/resource_form.h"

#include "main/asker.h"
#include "resources/dialog_preview.h"
#include "resources/hex_dump.h"
#include "resources/picture_files.h"
#include "resources/version_rows.h"
#include "sample_program.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

namespace corvane {
namespace {

using resources::TExeImage;
using resources::TResourceItem;
using resources::TResourceList;
using test::TTempFolder;

std::string Fixture(const char* name) {
  return std::string(CORVANE_SOURCE_DIR "/tests/core/resources/fixtures/") + name;
}
std::string Corpus(const char* name) {
  return std::string(CORVANE_SOURCE_DIR "/tests/corpus/pe/") + name;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(size));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct TExplorerFixture {
  TExplorerFixture() {
    TAsker::Replace(&Asker);
    Form.resize(800, 560);
    Form.OnAskSaveName = [this](const QString& suggested, int filter) -> std::optional<QString> {
      Suggested = suggested;
      Filter = filter;
      if (SaveTo.empty())
        return std::nullopt;
      return QString::fromStdString(SaveTo);
    };
  }
  ~TExplorerFixture() {
    Form.close();
    TAsker::Replace(nullptr);
  }
  std::string Sample() {
    const std::string path = Dir.Native("inkwell.exe");
    const auto bytes = test::InkwellProgram();
    WriteBytes(path, bytes, bytes.size());
    return path;
  }

  // The node reached through the texts of its ancestors, "Icon/MAINICON/48 X 48 0 Colors".
  QTreeWidgetItem* Node(const QString& path) {
    QTreeWidget* tree = test::Part<QTreeWidget>(Form, "TreeView");
    QTreeWidgetItem* node = nullptr;
    for (const QString& part : path.split(QLatin1Char('/'))) {
      QTreeWidgetItem* found = nullptr;
      const int count = node ? node->childCount() : tree->topLevelItemCount();
      for (int i = 0; i < count && !found; ++i) {
        QTreeWidgetItem* child = node ? node->child(i) : tree->topLevelItem(i);
        if (child->text(0) == part)
          found = child;
      }
      if (!found) {
        ADD_FAILURE() << "no node " << path.toStdString();
        return nullptr;
      }
      node = found;
    }
    return node;
  }
  void Select(const QString& path) {
    if (QTreeWidgetItem* node = Node(path))
      test::Part<QTreeWidget>(Form, "TreeView")->setCurrentItem(node);
  }
  int Page() { return test::Part<QStackedWidget>(Form, "Notebook")->currentIndex(); }
  QString Message() { return test::Part<QLabel>(Form, "Label1")->text(); }
  QString Status(const char* panel) { return test::Part<QLabel>(Form, panel)->text(); }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TFormResource Form;
  std::string SaveTo;
  QString Suggested;
  int Filter = 0;
};

// The tree's nodes as "depth name" lines, and the same from a walk of the reader.
void TreeLines(QTreeWidgetItem* node, int depth, std::vector<std::string>& lines) {
  lines.push_back(std::to_string(depth) + " " + node->text(0).toStdString());
  for (int i = 0; i < node->childCount(); ++i)
    TreeLines(node->child(i), depth + 1, lines);
}
void ReaderLines(TResourceList& list, int depth, std::vector<std::string>& lines) {
  for (size_t i = 0; i < list.Count(); ++i) {
    TResourceItem& item = list.Item(i);
    lines.push_back(std::to_string(depth) + " " + item.GetName());
    if (item.IsList())
      ReaderLines(item.GetResourceList(), depth + 1, lines);
  }
}

TEST(ResourceExplorer, TreeOfEachFileIsTheReadersTree) {
  TExplorerFixture f;
  const std::string sample = f.Sample();
  struct Case {
    std::string File;
    size_t Nodes;
    std::vector<std::string> Roots;
  } cases[] = {
      {Fixture("res32.dll"),
       34,
       {"AVI", "Bitmap", "Menu", "Dialog", "String", "Accelerators", "RCData", "Cursor", "Icon",
        "Version", "240"}},
      {Fixture("res64.dll"), 0, {}},
      {sample,
       21,
       {"AVI", "Bitmap", "Dialog", "String", "Accelerators", "Cursor", "Icon", "Version"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    f.Form.SetFile(c.File);
    QTreeWidget* tree = test::Part<QTreeWidget>(f.Form, "TreeView");
    std::vector<std::string> shown, read, roots;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      TreeLines(tree->topLevelItem(i), 1, shown);
      roots.push_back(tree->topLevelItem(i)->text(0).toStdString());
    }
    TExeImage image(c.File);
    ReaderLines(*image.Resources(), 1, read);
    EXPECT_EQ(shown, read);
    if (c.Nodes) {
      EXPECT_EQ(shown.size(), c.Nodes);
      EXPECT_EQ(roots, c.Roots);
    }
    EXPECT_EQ(f.Form.windowTitle(),
              QStringLiteral("Resource Explorer - ") + QString::fromStdString(c.File).toLower());
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0)) << "the first node is shown";
  }
  EXPECT_TRUE(f.Asker.Errors.empty());
}

TEST(ResourceExplorer, FilesWithoutResourcesSayWhy) {
  TExplorerFixture f;
  f.Dir.File("text.exe");
  test::WriteFile(f.Dir.Native("text.exe"), "just some text\n");
  f.Dir.File("empty.dll");
  EXPECT_EQ(f.Message(), QStringLiteral("Welcome to Resource Browser!"));
  EXPECT_EQ(f.Page(), TFormResource::pgMessage);

  f.Form.SetFile(Fixture("nores32.dll"));
  EXPECT_EQ(f.Message(), QStringLiteral("No resources."));
  f.Form.SetFile(Corpus("radare2-testbins__anim8.exe"));
  EXPECT_EQ(f.Message(), QStringLiteral("Not a PE file."));
  EXPECT_EQ(test::Part<QTreeWidget>(f.Form, "TreeView")->topLevelItemCount(), 0);

  // Files the reader refuses are reported; the image on show stays.
  f.Form.SetFile(Fixture("res32.dll"));
  TExeImage* shown = f.Form.Image();
  f.Form.SetFile(f.Dir.Native("text.exe"));
  f.Form.SetFile(f.Dir.Native("empty.dll"));
  f.Form.SetFile(f.Dir.Native("missing.dll"));
  EXPECT_EQ(f.Asker.Errors,
            (std::vector<QString>{"unrecognized file format", "CreateFileMapping failed"}));
  EXPECT_EQ(f.Form.Image(), shown);
  EXPECT_EQ(test::Part<QTreeWidget>(f.Form, "TreeView")->topLevelItemCount(), 0);
}

TEST(ResourceExplorer, EachKindOfItemGetsItsPage) {
  TExplorerFixture f;
  f.Form.SetFile(Fixture("res32.dll"));
  struct Case {
    const char* Node;
    int Page;
    const char* Shows; // the message, the first text line, or ""
  } cases[] = {
      {"Icon", TFormResource::pgList, ""},
      {"Icon/1", TFormResource::pgList, ""},
      {"Icon/1/32 X 32 16 Colors", TFormResource::pgPicture, ""},
      {"Icon/1/16 X 16 0 Colors", TFormResource::pgPicture, ""},
      {"Cursor/1/32 X 32 1 Bit(s)", TFormResource::pgPicture, ""},
      {"Bitmap/1", TFormResource::pgPicture, ""},
      {"Bitmap/3", TFormResource::pgPicture, ""},
      {"Menu/1", TFormResource::pgText, "POPUP \"&File\""},
      {"String/7", TFormResource::pgText, "96,  \"ninety-six\""},
      {"Menu/3", TFormResource::pgHex, ""}, // an extended menu has no script form
      {"Accelerators/1", TFormResource::pgHex, ""},
      {"RCData/CONFIG", TFormResource::pgHex, ""},
      {"240/5", TFormResource::pgHex, ""},
      {"Dialog/100", TFormResource::pgMessage, "Take a look!"},
      {"Dialog/101", TFormResource::pgMessage, "1 control(s) has been stripped."},
      {"Version/1", TFormResource::pgVersion, ""},
      {"AVI/CLIP", TFormResource::pgMedia, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Node);
    f.Select(QString::fromLatin1(c.Node));
    EXPECT_EQ(f.Page(), c.Page);
    const QString text =
        test::Part<QPlainTextEdit>(f.Form, "StringViewer")->toPlainText().split('\n').first();
    if (c.Page == TFormResource::pgMessage) {
      EXPECT_EQ(f.Message(), QLatin1String(c.Shows));
    } else if (c.Page == TFormResource::pgText) {
      EXPECT_EQ(text, QLatin1String(c.Shows));
    } else if (c.Page == TFormResource::pgPicture) {
      EXPECT_FALSE(test::Part<QLabel>(f.Form, "ImageViewer")->pixmap().isNull());
    }
  }
  EXPECT_TRUE(f.Asker.Errors.empty());
}

TEST(ResourceExplorer, ListsCaptionsAndStatusBar) {
  TExplorerFixture f;
  f.Form.SetFile(Fixture("res32.dll"));
  f.Select(QStringLiteral("Bitmap"));
  TResourceItem* bitmaps = f.Form.ItemOf(f.Node(QStringLiteral("Bitmap")));
  ASSERT_NE(bitmaps, nullptr);
  EXPECT_TRUE(f.Node(QStringLiteral("Bitmap"))->isExpanded());
  auto* model =
      static_cast<QStandardItemModel*>(test::Part<QTreeView>(f.Form, "ListView")->model());
  ASSERT_EQ(model->rowCount(), 5);
  TResourceItem& first = bitmaps->GetResourceList().Item(0);
  EXPECT_EQ(model->item(0, 0)->text(), QStringLiteral("1"));
  EXPECT_EQ(model->item(0, 1)->text(), QStringLiteral("%1").arg(first.Offset(), 7, 16, QChar('0')));
  EXPECT_EQ(model->item(0, 2)->text(), QStringLiteral("00430")) << "1072 bytes, 5 hex digits";
  EXPECT_EQ(test::Part<QLabel>(f.Form, "ListViewCaption")->text(), QStringLiteral(" Bitmap"));
  EXPECT_EQ(f.Status("StatusPanel1"), QStringLiteral(" 5 Objects"));
  EXPECT_EQ(f.Status("StatusPanel2"), QStringLiteral(" Offset: %1").arg(bitmaps->Offset(), 0, 16));
  EXPECT_FALSE(test::Part<QToolButton>(f.Form, "SaveResBtn")->isEnabled());

  f.Select(QStringLiteral("Bitmap/1"));
  EXPECT_EQ(test::Part<QLabel>(f.Form, "ListViewCaption")->text(), QStringLiteral("1"));
  EXPECT_EQ(f.Status("StatusPanel1"), QString());
  EXPECT_EQ(f.Status("StatusPanel2"),
            QStringLiteral(" Offset: %1  Size: 430").arg(first.Offset(), 0, 16));
  EXPECT_TRUE(test::Part<QToolButton>(f.Form, "SaveResBtn")->isEnabled());

  // The service menu folds and unfolds the whole tree.
  f.Form.Fullcollapse1Click();
  EXPECT_FALSE(f.Node(QStringLiteral("Bitmap"))->isExpanded());
  f.Form.Fullexpand1Click();
  EXPECT_TRUE(f.Node(QStringLiteral("Icon/1"))->isExpanded());
  EXPECT_TRUE(f.Node(QStringLiteral("Cursor"))->isExpanded());

  // The four view styles show the same rows.
  auto* icons = test::Part<QListView>(f.Form, "ListViewIcons");
  f.Select(QStringLiteral("Bitmap"));
  for (int tag : {0, 1, 2, 3}) {
    SCOPED_TRACE(tag);
    test::Part<QToolButton>(f.Form, ("ViewButton" + std::to_string(tag)).c_str())->click();
    EXPECT_EQ(f.Form.ListViewStyle(), tag);
    EXPECT_EQ(icons->isVisibleTo(&f.Form), tag != 3);
    if (tag == 0) {
      EXPECT_EQ(icons->viewMode(), QListView::IconMode);
    } else if (tag == 2) {
      EXPECT_EQ(icons->flow(), QListView::TopToBottom);
    }
  }
}

TEST(ResourceExplorer, SavesPicturesThatQtReadsBack) {
  TExplorerFixture f;
  f.Form.SetFile(f.Sample());
  struct Case {
    const char* Node;
    int Row; // the list row to pick, or -1 to save the tree's node
    const char* Suggested;
    int Filter;
    const char* Format;
    QSize Size;
  } cases[] = {
      {"Bitmap/TOOLBAR", -1, "TOOLBAR.Bmp", 2, "BMP", {64, 16}},
      {"Icon/MAINICON/32 X 32 0 Colors", -1, "32 X 32 0 Colors.Ico", 3, "ICO", {32, 32}},
      {"Icon/MAINICON", 0, "48 X 48 0 Colors.Ico", 3, "ICO", {48, 48}},
      {"Cursor/1/32 X 32 32 Bit(s)", -1, "32 X 32 32 Bit(s).Cur", 4, "CUR", {32, 32}},
      {"Version/1", -1, "1.Ver", 1, nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Node);
    f.SaveTo = f.Dir.Native(std::string("saved-") + std::to_string(c.Filter) + ".out");
    f.Select(QString::fromLatin1(c.Node));
    if (c.Row >= 0) {
      auto* list = test::Part<QTreeView>(f.Form, "ListView");
      list->setCurrentIndex(list->model()->index(c.Row, 0));
      EXPECT_TRUE(test::Part<QToolButton>(f.Form, "SaveResBtn")->isEnabled());
    }
    test::Part<QToolButton>(f.Form, "SaveResBtn")->click();
    EXPECT_EQ(f.Suggested, QLatin1String(c.Suggested));
    EXPECT_EQ(f.Filter, c.Filter);
    if (c.Format) {
      QImage saved;
      ASSERT_TRUE(saved.load(QString::fromStdString(f.SaveTo), c.Format));
      EXPECT_EQ(saved.size(), c.Size);
    } else {
      TExeImage image(f.Form.ExploreFileName);
      const TResourceItem* item = f.Form.ItemOf(f.Node(QString::fromLatin1(c.Node)));
      EXPECT_EQ(ReadBytes(f.SaveTo).size(), item->RawSize());
    }
  }
  // A group with no row chosen is no single resource.
  f.Select(QStringLiteral("Icon/MAINICON"));
  f.Suggested.clear();
  f.Form.SaveResource();
  EXPECT_EQ(f.Asker.Errors, std::vector<QString>{"No resource selected"});
  EXPECT_TRUE(f.Suggested.isEmpty());
}

TEST(ResourceExplorer, VersionPageShowsSixteenRows) {
  TExplorerFixture f;
  f.Form.SetFile(Fixture("res32.dll"));
  f.Select(QStringLiteral("Version/1"));
  ASSERT_EQ(f.Page(), TFormResource::pgVersion);
  QTreeWidget* rows = test::Part<QTreeWidget>(f.Form, "VIList");
  const std::vector<std::pair<QString, QString>> expected = {
      {"CompanyName", "Example Works"},
      {"FileDescription", "Resource reader fixture"},
      {"FileVersion", "1.2.3.4"},
      {"InternalName", ""},
      {"LegalCopyright", ""},
      {"OriginalFilenam", "res32.dll"},
      {"ProductName", QStringLiteral("Fixture \u2122")},
      {"ProductVersion", ""},
      {"-----------------", ""},
      {"Struct version", "0001.0000"},
      {"File version", "0001.0002.0003.0004"},
      {"Product version", "0005.0006.0007.0008"},
      {"File flags", "Debug Special build "},
      {"OS flags", "NT with Win32"},
      {"File type", "Dynamic-link library"},
      {"File date/time", "not done yet."},
  };
  ASSERT_EQ(rows->topLevelItemCount(), 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(rows->topLevelItem(i)->text(0), expected[i].first);
    EXPECT_EQ(rows->topLevelItem(i)->text(1), expected[i].second)
        << expected[i].first.toStdString();
  }
  EXPECT_EQ(test::Part<QLabel>(f.Form, "Label3")->text(), QStringLiteral("Lang-charset: 040904B0"));
}

TEST(ResourceExplorer, VersionRowsNameFlagsSystemsAndTypes) {
  struct Case {
    uint32_t Flags, Mask, Os, Type, Subtype;
    const char *FlagText, *OsText, *TypeText;
  } cases[] = {
      {0, 0x3F, 0x4, 1, 0, "<none>", "Unknown with Win32", "Application"},
      {0x3F, 0x0C, 0x10001, 3, 2, "Patched Private build ", "DOS with Win16",
       "Device driver: keyboard"},
      {0x2, 0x3F, 0x30003, 4, 3, "Pre-release ", "OS/2 32 with PM 32", "Font- true type"},
      {0, 0, 0x90009, 9, 0, "<none>", "Unknown with Unknown", "Unknown"},
  };
  for (const Case& c : cases) {
    resources::TVersionInfo info;
    info.Fixed = resources::TVersionFixed{};
    info.Fixed->FileFlags = c.Flags;
    info.Fixed->FileFlagsMask = c.Mask;
    info.Fixed->FileOS = c.Os;
    info.Fixed->FileType = c.Type;
    info.Fixed->FileSubtype = c.Subtype;
    const TVersionRows rows = MakeVersionRows(info);
    ASSERT_EQ(rows.Rows.size(), 16u);
    EXPECT_EQ(rows.Rows[12].second, QLatin1String(c.FlagText));
    EXPECT_EQ(rows.Rows[13].second, QLatin1String(c.OsText));
    EXPECT_EQ(rows.Rows[14].second, QLatin1String(c.TypeText));
    EXPECT_TRUE(rows.LanguageText.isEmpty()) << "no translation, no strings";
  }
}

TEST(ResourceExplorer, DialogPreviewBuildsEveryControlClass) {
  TExplorerFixture f;
  f.Form.SetFile(f.Sample());
  f.Select(QStringLiteral("Dialog/100"));
  EXPECT_EQ(f.Message(), QStringLiteral("Take a look!"));
  TDialogPlaceholder* placeholder = f.Form.DialogPreview();
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->width(), 500);
  EXPECT_EQ(placeholder->windowTitle(),
            QStringLiteral("I'm just a placeholder for dialog. Click to close"));
  TDialogWindow* dialog = placeholder->Dialog();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Find"));
  const auto& controls = dialog->Controls();
  ASSERT_EQ(controls.size(), 12u);
  EXPECT_EQ(dialog->Stripped(), 0);

  // Dialog units from the template's font, computed here from its metrics.
  const QFontMetrics metrics(dialog->font());
  EXPECT_EQ(dialog->font().pixelSize(), 11) << "8 points at 96 pixels per inch";
  const int baseX = (metrics.horizontalAdvance(
                         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                         26 +
                     1) /
                    2;
  const int baseY = metrics.height();
  const auto px = [](int units, int base, int div) {
    return int(std::lround(double(units) * base / div));
  };
  EXPECT_EQ(dialog->size(), QSize(px(236, baseX, 4), px(112, baseY, 8)));
  struct Expect {
    const char* Class;
    QString Text;
    int X, Y, Cx, Cy;
  } expected[] = {
      {"QLabel", "Find what:", 7, 9, 40, 8},
      {"QLineEdit", "ink", 48, 7, 120, 12},
      {"QGroupBox", "Direction", 7, 26, 90, 32},
      {"QRadioButton", "&Up", 14, 37, 35, 10},
      {"QRadioButton", "&Down", 52, 37, 40, 10},
      {"QCheckBox", "Match &case", 7, 62, 70, 10},
      {"QPushButton", "Find &Next", 178, 6, 50, 14},
      {"QPushButton", "Cancel", 178, 23, 50, 14},
      {"QListWidget", "", 104, 26, 64, 36},
      {"QComboBox", "", 7, 78, 100, 60},
      {"QScrollBar", "", 112, 80, 116, 10},
      {"QLabel", "Searches the open page", 104, 96, 124, 8},
  };
  for (size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(i);
    QWidget* control = controls[i];
    EXPECT_STREQ(control->metaObject()->className(), expected[i].Class);
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control))
      text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
      text = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
      text = edit->text();
    else if (auto* group = qobject_cast<QGroupBox*>(control))
      text = group->title();
    EXPECT_EQ(text, expected[i].Text);
    // A combo box is as high as it is closed; the template gives the height of its list.
    const int height = qobject_cast<QComboBox*>(control) ? control->sizeHint().height()
                                                         : px(expected[i].Cy, baseY, 8);
    EXPECT_EQ(control->geometry(), QRect(px(expected[i].X, baseX, 4), px(expected[i].Y, baseY, 8),
                                         px(expected[i].Cx, baseX, 4), height));
  }
  EXPECT_TRUE(qobject_cast<QPushButton*>(controls[6])->isDefault());
  EXPECT_FALSE(qobject_cast<QComboBox*>(controls[9])->isEditable()) << "a drop-down list";
  EXPECT_EQ(qobject_cast<QScrollBar*>(controls[10])->orientation(), Qt::Horizontal);

  // A control of the file's own class is left out; the next preview replaces this one.
  QPointer<TDialogPlaceholder> old(placeholder);
  f.Select(QStringLiteral("Dialog/101"));
  EXPECT_EQ(f.Message(), QStringLiteral("1 control(s) has been stripped."));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(old.isNull());
  ASSERT_NE(f.Form.DialogPreview(), nullptr);
  EXPECT_EQ(f.Form.DialogPreview()->Dialog()->Controls().size(), 1u);

  // A click on the placeholder puts both away.
  QTest::mouseClick(f.Form.DialogPreview(), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(f.Form.DialogPreview(), nullptr);
}

TEST(ResourceExplorer, HexDumpShowsOffsetsWithinTheResource) {
  THexDump dump;
  // Room for the address column and 16 groups of 4 characters besides the scroll bar.
  dump.resize(dump.CharWidth() * 80 + 40, 200);
  dump.show();
  std::vector<uint8_t> bytes(100);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i + 0x3C);
  dump.SetData(bytes);
  // Wide enough for 16 bytes a line: 100 bytes make 7 lines, the last with 4.
  ASSERT_EQ(dump.BytesPerLine(), 16);
  EXPECT_EQ(dump.LineCount(), 7);
  EXPECT_EQ(dump.LineText(0).left(10), QStringLiteral("00000000: "));
  EXPECT_EQ(dump.LineText(1),
            QStringLiteral(
                "00000010:  4C 4D 4E 4F 50 51 52 53 54 55 56 57 58 59 5A 5B  LMNOPQRSTUVWXYZ["));
  EXPECT_EQ(dump.LineText(6), QStringLiteral("00000060:  9C 9D 9E 9F  ...."));
  EXPECT_EQ(dump.LineText(7), QString());

  // The keys move the current line and keep it in view.
  dump.resize(dump.CharWidth() * 80 + 40, dump.LineHeight() * 3);
  EXPECT_EQ(dump.VisibleLines(), 4);
  QTest::keyClick(&dump, Qt::Key_End);
  EXPECT_EQ(dump.CurrentLine(), 6);
  EXPECT_EQ(dump.TopLine(), 6 - 4 + 2);
  QTest::keyClick(&dump, Qt::Key_PageUp);
  EXPECT_EQ(dump.CurrentLine(), 2);
  EXPECT_EQ(dump.TopLine(), 2);
  QTest::keyClick(&dump, Qt::Key_Home);
  EXPECT_EQ(dump.TopLine(), 0);

  // Narrow: fewer bytes a line, never below one.
  dump.resize(dump.CharWidth() * 30 + dump.verticalScrollBar()->width(), 200);
  ASSERT_EQ(dump.viewport()->width() / dump.CharWidth(), 30);
  EXPECT_EQ(dump.BytesPerLine(), (30 - 10) / 4);
  dump.resize(10, 200);
  EXPECT_EQ(dump.BytesPerLine(), 1);
  EXPECT_EQ(dump.LineCount(), 100);
}

TEST(ResourceExplorer, GiantBitmapIsRefused) {
  TExplorerFixture f;
  std::vector<uint8_t> dib = test::MakeDib(2, 2, {});
  // The header claims 60000 x 60000 pixels; the data holds four.
  for (size_t at : {size_t{4}, size_t{8}}) {
    dib[at] = 0x60;
    dib[at + 1] = 0xEA;
  }
  const auto file = test::MakePeImage(
      {{uint16_t{2}, uint16_t{1}, 0x409, dib}, {uint16_t{10}, uint16_t{2}, 0x409, dib}});
  const std::string path = f.Dir.Native("giant.dll");
  WriteBytes(path, file, file.size());
  f.Form.SetFile(path);
  f.Select(QStringLiteral("Bitmap/1"));
  EXPECT_EQ(f.Page(), TFormResource::pgMessage);
  EXPECT_EQ(f.Message(), QStringLiteral("The picture is too large to show (60000 x 60000)."));
}

TEST(ResourceExplorer, RawDataIsShownByWhatItStartsWith) {
  TExplorerFixture f;
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(test::InkwellPicture(32).convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG"));
  std::vector<uint8_t> bmp = resources::BitmapFileImage(test::MakeDib(8, 4, {}));
  const std::string form = std::string("TPF0") + "\x06TForm1\x05" + "Form1" + "\x07" + "Caption" +
                           "\x06\x02Hi" + std::string(2, '\0');
  const auto bytes = [](const auto& data) {
    return std::vector<uint8_t>(data.begin(), data.end());
  };
  const auto file = test::MakePeImage({
      {uint16_t{10}, uint16_t{1}, 0x409, bmp},
      {uint16_t{10}, uint16_t{2}, 0x409, bytes(jpeg)},
      {uint16_t{10}, uint16_t{3}, 0x409, test::AviClip()},
      {uint16_t{10}, uint16_t{4}, 0x409, bytes(form)},
      {uint16_t{10}, uint16_t{5}, 0x409, bytes(std::string("plain bytes"))},
  });
  const std::string path = f.Dir.Native("raw.dll");
  WriteBytes(path, file, file.size());
  f.Form.SetFile(path);
  struct Case {
    const char* Node;
    int Page;
  } cases[] = {{"RCData/1", TFormResource::pgPicture},
               {"RCData/2", TFormResource::pgPicture},
               {"RCData/3", TFormResource::pgMedia},
               {"RCData/4", TFormResource::pgText},
               {"RCData/5", TFormResource::pgHex}};
  for (const Case& c : cases) {
    f.Select(QString::fromLatin1(c.Node));
    EXPECT_EQ(f.Page(), c.Page) << c.Node;
  }
  f.Select(QStringLiteral("RCData/2"));
  EXPECT_EQ(test::Part<QLabel>(f.Form, "ImageViewer")->pixmap().size(), QSize(32, 32));
  f.Select(QStringLiteral("RCData/4"));
  EXPECT_EQ(test::Part<QPlainTextEdit>(f.Form, "StringViewer")->toPlainText(),
            QStringLiteral("object Form1: TForm1\n  Caption = 'Hi'\nend"));

  // The clip is played from a private copy, which goes with the next file.
  f.Select(QStringLiteral("RCData/3"));
  const std::string clip = f.Form.AviFile();
  ASSERT_FALSE(clip.empty());
  EXPECT_EQ(ReadBytes(clip), test::AviClip());
  EXPECT_EQ(std::filesystem::status(clip).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  f.Form.SetFile(Fixture("res32.dll"));
  EXPECT_FALSE(std::filesystem::exists(clip));
}

TEST(ResourceExplorer, EveryTruncationOfAFileOpensWithoutACrash) {
  TExplorerFixture f;
  const std::vector<uint8_t> bytes = ReadBytes(Fixture("res32.dll"));
  const std::string path = f.Dir.Native("cut.dll");
  size_t shownTrees = 0;
  for (size_t size = 0; size <= bytes.size(); ++size) {
    WriteBytes(path, bytes, size);
    f.Form.SetFile(path);
    QTreeWidget* tree = test::Part<QTreeWidget>(f.Form, "TreeView");
    shownTrees += tree->topLevelItemCount() > 0;
    // Show every node once.
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
      tree->setCurrentItem(*it);
    if (TDialogPlaceholder* preview = f.Form.DialogPreview())
      delete preview;
  }
  EXPECT_GT(shownTrees, 0u);
  EXPECT_EQ(f.Form.ExploreFileName, path);
}

} // namespace
} // namespace corvane
