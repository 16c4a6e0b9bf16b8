// TFormResource: the resource explorer. A tree of the resource types and resources of one
// executable or library on the left; on the right a page that fits the selected item: the list of
// a type's resources (four view styles), a picture (bitmaps, icons, cursors, JPEG data), text
// (string tables, menus, form descriptions), a hex dump, the version information, a message, or
// the media page of an AVI clip. Dialogs are previewed in a window of their own.
//
// Everything shown comes from the resource reader (core/resources) over a copy of the file: the
// explorer never loads the file as a program, and a broken or hostile file shows what the reader
// could read. Pictures are checked against a size limit before they are decoded, so a header that
// claims a giant bitmap is refused instead of allocating gigabytes.
//
// The window is made once, on the first explorer command, and kept; each command shows another
// file in it.
#pragma once

#include "resources/dialog_template.h"
#include "resources/exe_image.h"
#include "resources/resource_item.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QStandardItemModel;
class QToolButton;
class QTreeView;
class QListView;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvane {

class TDialogPlaceholder;
class THexDump;
class TLanguageFile;

class TFormResource final : public QMainWindow {
  Q_OBJECT

public:
  // Notebook pages.
  enum TPage { pgList, pgPicture, pgText, pgHex, pgVersion, pgMessage, pgMedia };
  // Pictures larger than this many pixels are not decoded.
  static constexpr int64_t MaxPicturePixels = int64_t{1} << 26;
  // The tree stops growing at this many nodes (a real file has a few thousand).
  static constexpr int MaxTreeNodes = 100000;

  explicit TFormResource(QWidget* parent = nullptr);
  ~TFormResource() override;

  // Shows a file (a native path): a missing file changes nothing; a file the reader refuses is
  // reported and the previous one stays loaded.
  void SetFile(const std::string& nativePath);
  // The file on show.
  std::string ExploreFileName;
  resources::TExeImage* Image() const { return ExeImage.get(); }

  // Where the captions come from: the language file of the running program, unless the
  // language is ENGLISH (the built-in captions are then kept).
  const TLanguageFile* Language = nullptr;
  QString LanguageName = QStringLiteral("ENGLISH");
  // The main window's left panel folder (native), written as LastPath when the window closes.
  std::function<std::string()> OnLeftFolder;
  // Asks where to save: the suggested name and the filter index (1 to 4); the chosen native
  // path, or nothing when the user cancelled. Tests replace the file dialog here.
  std::function<std::optional<QString>(const QString& suggested, int filterIndex)> OnAskSaveName;

  // The handlers of the window's controls.
  void TreeViewChange();
  void SaveResource();
  void SelectListViewType(int tag);
  void Fullexpand1Click();
  void Fullcollapse1Click();
  void PopupMenu2Popup();
  void ListViewChange();
  void ListViewEnter();
  void FormActivate();

  // The item a tree node stands for.
  resources::TResourceItem* ItemOf(const QTreeWidgetItem* node) const;
  // The item of the list view's selected row, or nullptr.
  resources::TResourceItem* SelectedListItem() const;
  int ListViewStyle() const { return ListStyle; }
  // The private copy of the AVI clip on show ("" when none).
  const std::string& AviFile() const { return AviTemp; }
  TDialogPlaceholder* DialogPreview() const;
  // What the save dialog would be preset to for an item: filter index and suggested name.
  static int SaveFilterIndex(int32_t resType);
  static QString SuggestedFileName(const resources::TResourceItem& item);

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateComponents();
  void CreateMenus();
  void ShowMessage(const QString& text);
  void ShowItem(resources::TResourceItem& item, const QString& nodeText);
  void ShowList(resources::TResourceItem& item, const QString& nodeText);
  void ShowData(resources::TResourceItem& item);
  void ShowPicture(const std::vector<uint8_t>& file, const char* format);
  void ShowBitmap(resources::TResourceItem& item, const std::vector<uint8_t>& file);
  void ShowText(const std::vector<std::string>& lines);
  void ShowHex(resources::TResourceItem& item);
  void ShowDialog(resources::TResourceItem& item);
  void ShowVersion();
  void ShowAvi(resources::TResourceItem& item);
  void PlayAvi();
  void RemoveAvi();
  void AddNodes(QTreeWidgetItem* parent, resources::TResourceList& list, int depth);
  void ClearTree();
  QIcon TypeIcon(const resources::TResourceItem& item) const;
  QPixmap DialogPicture(const resources::TNameOrId& name, bool icon);
  void SetSaveEnabled();

  std::unique_ptr<resources::TExeImage> ExeImage;
  std::vector<resources::TResourceItem*> NodeItems;
  bool Clearing = false;
  bool Truncated = false;
  int ListStyle = 3;
  std::string AviTemp;
  QString ObjectsWord = QStringLiteral("Objects");
  QString OffsetWord = QStringLiteral("Offset");
  QString SizeWord = QStringLiteral("Size");

  // Parts, found by tests through their object names.
  QToolButton* SaveResBtn = nullptr;
  QToolButton* SpeedButton6 = nullptr;
  QLabel* ListViewCaption = nullptr;
  QTreeWidget* TreeView = nullptr;
  QSplitter* Mover2 = nullptr;
  QStackedWidget* Notebook = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QLabel* StatusPanel2 = nullptr;
  QToolButton* ViewButtons[4] = {};
  QStandardItemModel* ListModel = nullptr;
  QTreeView* ListView = nullptr;
  QListView* ListViewIcons = nullptr;
  QLabel* ImageViewer = nullptr;
  QPlainTextEdit* StringViewer = nullptr;
  THexDump* HexDump = nullptr;
  QTreeWidget* VIList = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* MediaLabel = nullptr;
  QToolButton* PlayButton = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* ServiceMenu = nullptr;
  QAction* SaveResource1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Fullexpand1 = nullptr;
  QAction* Fullcollapse1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QAction* Saveas1 = nullptr;
  QAction* Saveas2 = nullptr;
  QAction* Fullexpand2 = nullptr;
  QAction* Fullcollapse2 = nullptr;
  QIcon Icons[6];
};

} // namespace corvane
