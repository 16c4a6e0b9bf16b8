#include "resources/resource_form.h"

#include "config/registry.h"
#include "main/asker.h"
#include "main/language.h"
#include "main/pictures.h"
#include "platform/launcher.h"
#include "platform/process_temp.h"
#include "platform/program_folder.h"
#include "platform/write_all.h"
#include "resources/dialog_preview.h"
#include "resources/form_text.h"
#include "resources/hex_dump.h"
#include "resources/version_rows.h"

#include <QBitmap>
#include <QBuffer>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace corvane {

using resources::EExeError;
using resources::TResourceItem;
using resources::TResourceList;
using resources::TResourceType;

namespace {

constexpr int ItemRole = Qt::UserRole + 1;
constexpr const char* RegistryKey = "HKCU\\Software\\Quillmark\\Projects\\ResourceExplorer";

const char* const Extensions[17] = {"Dat", "Cur", "Bmp", "Ico", "Mnu", "Dlg", "Str", "Fnt", "Fnt",
                                    "Acc", "RCD", "Msg", "Cur", "U13", "Ico", "U15", "Ver"};

bool StartsWith(resources::TBytes data, std::string_view prefix, size_t at = 0) {
  return data.size() >= at + prefix.size() &&
         std::memcmp(data.data() + at, prefix.data(), prefix.size()) == 0;
}

// The size a bitmap file's header claims (a 40-byte or larger header, or the 12-byte core one),
// or an invalid size when the bytes are no bitmap file.
QSize BitmapFileSize(const std::vector<uint8_t>& file) {
  if (file.size() < 14 + 12 || file[0] != 'B' || file[1] != 'M')
    return {};
  const uint8_t* header = file.data() + 14;
  const uint32_t size = resources::Le32(header);
  if (size == 12)
    return QSize(resources::Le16(header + 4), resources::Le16(header + 6));
  if (size < 40 || file.size() < 14 + 16)
    return {};
  const int64_t width = std::abs(int64_t{static_cast<int32_t>(resources::Le32(header + 4))});
  const int64_t height = std::abs(int64_t{static_cast<int32_t>(resources::Le32(header + 8))});
  return QSize(int(std::min<int64_t>(width, INT32_MAX)), int(std::min<int64_t>(height, INT32_MAX)));
}

// A picture of the program's own with its top-left colour made transparent.
QIcon TransparentIcon(const QImage& image) {
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0), Qt::MaskInColor)));
  QIcon icon(pixmap);
  // The large-icon view gets the picture doubled, pixel for pixel.
  icon.addPixmap(pixmap.scaled(pixmap.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  return icon;
}

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QFrame* Page(QStackedWidget* notebook, const char* name) {
  auto* page = new QFrame(notebook);
  page->setObjectName(QString::fromLatin1(name));
  notebook->addWidget(page);
  return page;
}

} // namespace

TFormResource::TFormResource(QWidget* parent) : QMainWindow(parent) {
  CreateComponents();
  CreateMenus();
  OnAskSaveName = [this](const QString& suggested, int filterIndex) -> std::optional<QString> {
    const QStringList filters = {QStringLiteral("Other Resource (*.*)"),
                                 QStringLiteral("Bitmaps (*.BMP)"), QStringLiteral("Icons (*.ICO)"),
                                 QStringLiteral("Cursor (*.CUR)")};
    QString chosen = filters[std::clamp(filterIndex, 1, 4) - 1];
    const QString name = QFileDialog::getSaveFileName(this, QString(), suggested,
                                                      filters.join(QStringLiteral(";;")), &chosen);
    if (name.isEmpty())
      return std::nullopt;
    return name;
  };
}

TFormResource::~TFormResource() {
  if (TDialogPlaceholder* preview = DialogPreview())
    delete preview;
  RemoveAvi();
}

void TFormResource::CreateComponents() {
  setObjectName(QStringLiteral("FormResource"));
  setWindowTitle(QStringLiteral("Resource Browser"));
  resize(640, 453);

  Icons[0] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::Folder));
  Icons[1] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::UpFolder));
  Icons[2] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::Other));
  Icons[3] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::Picture));
  Icons[4] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::System));
  Icons[5] = TransparentIcon(pictures::TypeIcon(pictures::TTypeIcon::Picture));

  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* tools = new QWidget(central);
  tools->setObjectName(QStringLiteral("ToolPanel"));
  auto* toolRow = new QHBoxLayout(tools);
  toolRow->setContentsMargins(2, 2, 2, 2);
  SaveResBtn = new QToolButton(tools);
  SaveResBtn->setObjectName(QStringLiteral("SaveResBtn"));
  SaveResBtn->setAutoRaise(true);
  SaveResBtn->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  SaveResBtn->setToolTip(QStringLiteral("Save resource as..."));
  SaveResBtn->setEnabled(false);
  connect(SaveResBtn, &QToolButton::clicked, this, [this] { SaveResource(); });
  SpeedButton6 = new QToolButton(tools);
  SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));
  SpeedButton6->setAutoRaise(true);
  SpeedButton6->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  SpeedButton6->setToolTip(QStringLiteral("Exit out here"));
  connect(SpeedButton6, &QToolButton::clicked, this, [this] { close(); });
  toolRow->addWidget(SaveResBtn);
  toolRow->addWidget(SpeedButton6);
  toolRow->addStretch(1);
  outer->addWidget(tools);

  Mover2 = new QSplitter(Qt::Horizontal, central);
  Mover2->setObjectName(QStringLiteral("Mover2"));
  Mover2->setHandleWidth(3);
  Mover2->setChildrenCollapsible(false);
  outer->addWidget(Mover2, 1);

  TreeView = new QTreeWidget(Mover2);
  TreeView->setObjectName(QStringLiteral("TreeView"));
  TreeView->setHeaderHidden(true);
  TreeView->setIconSize(QSize(16, 16));
  TreeView->setMinimumWidth(30);
  TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
  TreeView->viewport()->installEventFilter(this);
  connect(TreeView, &QTreeWidget::currentItemChanged, this, [this] { TreeViewChange(); });
  connect(TreeView, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
    PopupMenu2Popup();
    PopupMenu2->popup(TreeView->viewport()->mapToGlobal(at));
  });

  auto* right = new QWidget(Mover2);
  right->setMinimumWidth(30);
  auto* rightColumn = new QVBoxLayout(right);
  rightColumn->setContentsMargins(0, 0, 0, 0);
  rightColumn->setSpacing(0);
  ListViewCaption = new QLabel(right);
  ListViewCaption->setObjectName(QStringLiteral("ListViewCaption"));
  ListViewCaption->setFrameStyle(QFrame::Panel | QFrame::Raised);
  ListViewCaption->setMinimumHeight(20);
  rightColumn->addWidget(ListViewCaption);
  Notebook = new QStackedWidget(right);
  Notebook->setObjectName(QStringLiteral("Notebook"));
  rightColumn->addWidget(Notebook, 1);
  Mover2->addWidget(TreeView);
  Mover2->addWidget(right);
  Mover2->setStretchFactor(1, 1);
  Mover2->setSizes({157, 480});

  // Page 0: the list of a type's resources, with its four view styles.
  QFrame* listPage = Page(Notebook, "ListPage");
  auto* listColumn = new QVBoxLayout(listPage);
  listColumn->setContentsMargins(0, 0, 0, 0);
  listColumn->setSpacing(0);
  auto* viewRow = new QHBoxLayout();
  viewRow->setContentsMargins(2, 2, 2, 2);
  const char* hints[4] = {"Large Icons", "Small Icons", "List", "Details"};
  const QStyle::StandardPixmap faces[4] = {
      QStyle::SP_FileDialogContentsView, QStyle::SP_FileDialogInfoView,
      QStyle::SP_FileDialogListView, QStyle::SP_FileDialogDetailedView};
  for (int tag = 0; tag < 4; ++tag) {
    auto* button = new QToolButton(listPage);
    button->setObjectName(QStringLiteral("ViewButton%1").arg(tag));
    button->setToolTip(QLatin1String(hints[tag]));
    button->setIcon(style()->standardIcon(faces[tag]));
    button->setAutoRaise(true);
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setChecked(tag == 3);
    connect(button, &QToolButton::clicked, this, [this, tag] { SelectListViewType(tag); });
    ViewButtons[tag] = button;
    viewRow->addWidget(button);
  }
  viewRow->addStretch(1);
  listColumn->addLayout(viewRow);
  ListModel = new QStandardItemModel(0, 3, this);
  ListModel->setHorizontalHeaderLabels(
      {QStringLiteral("Name"), QStringLiteral("Offset"), QStringLiteral("Size")});
  ListView = new QTreeView(listPage);
  ListView->setObjectName(QStringLiteral("ListView"));
  ListView->setModel(ListModel);
  ListView->setRootIsDecorated(false);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView->header()->resizeSection(0, 150);
  ListView->header()->resizeSection(1, 80);
  ListView->header()->resizeSection(2, 80);
  ListView->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView->installEventFilter(this);
  ListViewIcons = new QListView(listPage);
  ListViewIcons->setObjectName(QStringLiteral("ListViewIcons"));
  ListViewIcons->setModel(ListModel);
  ListViewIcons->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewIcons->setContextMenuPolicy(Qt::CustomContextMenu);
  ListViewIcons->installEventFilter(this);
  ListViewIcons->hide();
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(ListView),
                                  static_cast<QAbstractItemView*>(ListViewIcons)}) {
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { ListViewChange(); });
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](QPoint at) {
      PopupMenu2Popup();
      PopupMenu1->popup(view->viewport()->mapToGlobal(at));
    });
  }
  listColumn->addWidget(ListView, 1);
  listColumn->addWidget(ListViewIcons, 1);

  // Page 1: a picture, centred.
  QFrame* picturePage = Page(Notebook, "PicturePage");
  auto* pictureColumn = new QVBoxLayout(picturePage);
  pictureColumn->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(picturePage);
  scroll->setAlignment(Qt::AlignCenter);
  scroll->setWidgetResizable(true);
  ImageViewer = new QLabel(scroll);
  ImageViewer->setObjectName(QStringLiteral("ImageViewer"));
  ImageViewer->setAlignment(Qt::AlignCenter);
  ImageViewer->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ImageViewer, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
    PopupMenu2Popup();
    PopupMenu1->popup(ImageViewer->mapToGlobal(at));
  });
  scroll->setWidget(ImageViewer);
  pictureColumn->addWidget(scroll);

  // Page 2: text.
  QFrame* textPage = Page(Notebook, "TextPage");
  auto* textColumn = new QVBoxLayout(textPage);
  textColumn->setContentsMargins(0, 0, 0, 0);
  StringViewer = new QPlainTextEdit(textPage);
  StringViewer->setObjectName(QStringLiteral("StringViewer"));
  StringViewer->setReadOnly(true);
  StringViewer->setLineWrapMode(QPlainTextEdit::NoWrap);
  StringViewer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringViewer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  textColumn->addWidget(StringViewer);

  // Page 3: the hex dump.
  QFrame* hexPage = Page(Notebook, "HexPage");
  auto* hexColumn = new QVBoxLayout(hexPage);
  hexColumn->setContentsMargins(0, 0, 0, 0);
  HexDump = new THexDump(hexPage);
  HexDump->setObjectName(QStringLiteral("HexDump"));
  hexColumn->addWidget(HexDump);

  // Page 4: the version information.
  QFrame* versionPage = Page(Notebook, "VersionPage");
  auto* versionColumn = new QVBoxLayout(versionPage);
  versionColumn->setContentsMargins(0, 0, 0, 0);
  VIList = new QTreeWidget(versionPage);
  VIList->setObjectName(QStringLiteral("VIList"));
  VIList->setColumnCount(2);
  VIList->setHeaderLabels({QStringLiteral("VI string"), QStringLiteral("Value")});
  VIList->setRootIsDecorated(false);
  VIList->header()->resizeSection(0, 100);
  VIList->header()->resizeSection(1, 300);
  Label3 = new QLabel(versionPage);
  Label3->setObjectName(QStringLiteral("Label3"));
  versionColumn->addWidget(VIList, 1);
  versionColumn->addWidget(Label3);

  // Page 5: a message.
  QFrame* messagePage = Page(Notebook, "MessagePage");
  auto* messageColumn = new QVBoxLayout(messagePage);
  Label1 = new QLabel(QStringLiteral("Welcome to Resource Browser!"), messagePage);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  QFont big(QStringLiteral("Liberation Serif"));
  big.setPixelSize(16);
  big.setBold(true);
  big.setItalic(true);
  Label1->setFont(big);
  messageColumn->addWidget(Label1);

  // Page 6: an AVI clip, played by the desktop's video player from a private copy.
  QFrame* mediaPage = Page(Notebook, "MediaPage");
  auto* mediaColumn = new QVBoxLayout(mediaPage);
  MediaLabel = new QLabel(mediaPage);
  MediaLabel->setObjectName(QStringLiteral("MediaLabel"));
  MediaLabel->setAlignment(Qt::AlignCenter);
  PlayButton = new QToolButton(mediaPage);
  PlayButton->setObjectName(QStringLiteral("PlayButton"));
  PlayButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  PlayButton->setText(QStringLiteral("Play"));
  PlayButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(PlayButton, &QToolButton::clicked, this, [this] { PlayAvi(); });
  mediaColumn->addStretch(1);
  mediaColumn->addWidget(MediaLabel);
  mediaColumn->addWidget(PlayButton, 0, Qt::AlignCenter);
  mediaColumn->addStretch(1);

  Notebook->setCurrentIndex(pgMessage);

  StatusPanel1 = new QLabel(this);
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setFixedWidth(150);
  StatusPanel2 = new QLabel(this);
  StatusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
  StatusPanel2->setMinimumWidth(500);
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(StatusPanel1);
  statusBar()->addWidget(StatusPanel2, 1);

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { close(); });
}

void TFormResource::CreateMenus() {
  FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
  FileMenu->setObjectName(QStringLiteral("File1"));
  SaveResource1 =
      FileMenu->addAction(QStringLiteral("&Save resource"), this, [this] { SaveResource(); });
  SaveResource1->setObjectName(QStringLiteral("SaveResource1"));
  Exit1 = FileMenu->addAction(QStringLiteral("&Exit"), this, [this] { close(); });
  Exit1->setObjectName(QStringLiteral("Exit1"));
  ServiceMenu = menuBar()->addMenu(QStringLiteral("Service"));
  ServiceMenu->setObjectName(QStringLiteral("Service1"));
  Fullexpand1 =
      ServiceMenu->addAction(QStringLiteral("&Full expand"), this, [this] { Fullexpand1Click(); });
  Fullcollapse1 = ServiceMenu->addAction(QStringLiteral("Full &collaps"), this,
                                         [this] { Fullcollapse1Click(); });

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  Saveas2 = PopupMenu2->addAction(QStringLiteral("&Save as..."), this, [this] { SaveResource(); });
  Saveas2->setShortcut(QKeySequence(Qt::Key_F2));
  Saveas2->setShortcutContext(Qt::WindowShortcut);
  addAction(Saveas2);
  Fullexpand2 =
      PopupMenu2->addAction(QStringLiteral("Full &expand"), this, [this] { Fullexpand1Click(); });
  Fullcollapse2 = PopupMenu2->addAction(QStringLiteral("Full &collapse"), this,
                                        [this] { Fullcollapse1Click(); });
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Saveas1 = PopupMenu1->addAction(QStringLiteral("&Save as..."), this, [this] { SaveResource(); });
  Saveas1->setShortcut(QKeySequence(Qt::Key_F2));
}

// ---- loading ----

void TFormResource::ClearTree() {
  Clearing = true;
  TreeView->clear();
  NodeItems.clear();
  Clearing = false;
}

void TFormResource::SetFile(const std::string& nativePath) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(nativePath, error))
    return;
  ClearTree();
  ListModel->removeRows(0, ListModel->rowCount());
  std::unique_ptr<resources::TExeImage> image;
  try {
    image = std::make_unique<resources::TExeImage>(nativePath);
  } catch (const EExeError& failure) {
    TAsker::Current().Error(this, QString::fromUtf8(failure.what()));
    return;
  }
  if (TDialogPlaceholder* preview = DialogPreview())
    preview->close();
  RemoveAvi();
  HexDump->SetData({});
  ExeImage = std::move(image);
  ExploreFileName = nativePath;
  SetSaveEnabled();
  if (ExeImage->ResourceStatus() == resources::rsNotPE) {
    ShowMessage(QStringLiteral("Not a PE file."));
    return;
  }
  Truncated = false;
  TResourceList* root = ExeImage->Resources();
  if (root)
    AddNodes(nullptr, *root, 1);
  if (!root || ExeImage->ResourceStatus() == resources::rsNoResources) {
    ShowMessage(QStringLiteral("No resources."));
    return;
  }
  setWindowTitle(QStringLiteral("%1 - %2").arg(QStringLiteral("Resource Explorer"),
                                               Utf8(nativePath).toLower()));
  TreeView->setFocus();
  if (TreeView->topLevelItemCount() > 0)
    TreeView->setCurrentItem(TreeView->topLevelItem(0));
}

void TFormResource::AddNodes(QTreeWidgetItem* parent, TResourceList& list, int depth) {
  for (size_t i = 0; i < list.Count(); ++i) {
    if (static_cast<int>(NodeItems.size()) >= MaxTreeNodes) {
      Truncated = true;
      return;
    }
    TResourceItem& item = list.Item(i);
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(TreeView);
    node->setText(0, Utf8(item.GetName()));
    node->setData(0, ItemRole, static_cast<qulonglong>(NodeItems.size()));
    NodeItems.push_back(&item);
    node->setIcon(0, TypeIcon(item));
    // Types, groups, images: a sound file goes no deeper, and a hostile one may not.
    if (item.IsList() && depth < 3)
      AddNodes(node, item.GetResourceList(), depth + 1);
  }
}

QIcon TFormResource::TypeIcon(const TResourceItem& item) const {
  if (item.IsList())
    return Icons[0];
  switch (item.ResType()) {
  case static_cast<int32_t>(TResourceType::rtIconEntry):
    return Icons[3];
  case static_cast<int32_t>(TResourceType::rtCursorEntry):
    return Icons[4];
  case static_cast<int32_t>(TResourceType::rtBitmap):
    return Icons[5];
  default:
    return Icons[2];
  }
}

TResourceItem* TFormResource::ItemOf(const QTreeWidgetItem* node) const {
  if (!node)
    return nullptr;
  const size_t index = node->data(0, ItemRole).toULongLong();
  return index < NodeItems.size() ? NodeItems[index] : nullptr;
}

// ---- showing ----

void TFormResource::ShowMessage(const QString& text) {
  Notebook->setCurrentIndex(pgMessage);
  Label1->setText(text);
}

void TFormResource::TreeViewChange() {
  if (Clearing)
    return;
  QTreeWidgetItem* node = TreeView->currentItem();
  if (TResourceItem* item = ItemOf(node))
    ShowItem(*item, node->text(0));
  SetSaveEnabled();
  if (node && node->childCount() > 0)
    node->setExpanded(true);
}

void TFormResource::SetSaveEnabled() {
  QTreeWidgetItem* node = TreeView->currentItem();
  SaveResBtn->setEnabled((node && node->childCount() == 0) || SelectedListItem());
}

void TFormResource::ShowItem(TResourceItem& item, const QString& nodeText) {
  if (item.IsList()) {
    ShowList(item, nodeText);
    return;
  }
  ShowData(item);
  ListViewCaption->setText(Utf8(item.GetName()));
  StatusPanel1->clear();
  StatusPanel2->setText(QStringLiteral(" %1: %2  %3: %4")
                            .arg(OffsetWord)
                            .arg(item.Offset(), 0, 16)
                            .arg(SizeWord)
                            .arg(item.RawSize(), 0, 16));
}

void TFormResource::ShowList(TResourceItem& item, const QString& nodeText) {
  ListModel->removeRows(0, ListModel->rowCount());
  TResourceList& list = item.GetResourceList();
  const size_t count = std::min<size_t>(list.Count(), MaxTreeNodes);
  for (size_t i = 0; i < count; ++i) {
    TResourceItem& child = list.Item(i);
    auto* name = new QStandardItem(TypeIcon(child), Utf8(child.GetName()));
    name->setData(QVariant::fromValue(static_cast<void*>(&child)), ItemRole);
    auto* offset = new QStandardItem(QStringLiteral("%1").arg(child.Offset(), 7, 16, QChar('0')));
    auto* size = new QStandardItem(QStringLiteral("%1").arg(child.RawSize(), 5, 16, QChar('0')));
    ListModel->appendRow({name, offset, size});
  }
  Notebook->setCurrentIndex(pgList);
  ListViewCaption->setText(QLatin1Char(' ') + nodeText);
  StatusPanel1->setText(QStringLiteral(" %1 %2").arg(count).arg(ObjectsWord));
  StatusPanel2->setText(QStringLiteral(" %1: %2").arg(OffsetWord).arg(item.Offset(), 0, 16));
}

void TFormResource::ShowData(TResourceItem& item) {
  const int32_t type = item.ResType();
  const resources::TBytes data = item.RawData();
  try {
    switch (type) {
    case static_cast<int32_t>(TResourceType::rtCursorEntry):
      ShowPicture(item.FileImage(), "CUR");
      return;
    case static_cast<int32_t>(TResourceType::rtIconEntry):
      ShowPicture(item.FileImage(), "ICO");
      return;
    case static_cast<int32_t>(TResourceType::rtBitmap):
      ShowPicture(item.FileImage(), "BMP");
      return;
    case static_cast<int32_t>(TResourceType::rtMenu):
    case static_cast<int32_t>(TResourceType::rtString):
      if (const auto lines = item.TextLines()) {
        ShowText(*lines);
        return;
      }
      break; // an extended menu has no script form here: its bytes are shown
    case static_cast<int32_t>(TResourceType::rtDialog):
      ShowDialog(item);
      return;
    case static_cast<int32_t>(TResourceType::rtVersion):
      ShowVersion();
      return;
    default:
      if (StartsWith(data, "BM")) {
        ShowPicture({data.begin(), data.end()}, "BMP");
        return;
      }
      if (StartsWith(data, "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46")) {
        ShowPicture({data.begin(), data.end()}, "JPEG");
        return;
      }
      if (StartsWith(data, "RIFF") && StartsWith(data, "AVI ", 8)) {
        ShowAvi(item);
        return;
      }
      if (const auto form = resources::FormTextLines(data)) {
        ShowText(*form);
        return;
      }
      break;
    }
  } catch (const EExeError& failure) {
    // Data the reader could not reach: say so rather than show nothing.
    ShowMessage(QString::fromUtf8(failure.what()));
    return;
  }
  ShowHex(item);
}

void TFormResource::ShowPicture(const std::vector<uint8_t>& file, const char* format) {
  QByteArray bytes(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  // The header's own claim first: Qt's readers do not all tell the size before decoding.
  QSize size = BitmapFileSize(file);
  if (!size.isValid())
    size = reader.size();
  if (size.isValid() && int64_t{size.width()} * size.height() > MaxPicturePixels) {
    ImageViewer->clear();
    ShowMessage(QStringLiteral("The picture is too large to show (%1 x %2).")
                    .arg(size.width())
                    .arg(size.height()));
    return;
  }
  const QImage image = reader.read();
  if (image.isNull()) {
    ImageViewer->clear();
    ShowMessage(QStringLiteral("The picture cannot be read."));
    return;
  }
  ImageViewer->setPixmap(QPixmap::fromImage(image));
  Notebook->setCurrentIndex(pgPicture);
}

void TFormResource::ShowText(const std::vector<std::string>& lines) {
  QString text;
  for (const std::string& line : lines) {
    if (!text.isEmpty())
      text += QLatin1Char('\n');
    text += Utf8(line);
  }
  StringViewer->setPlainText(text);
  StringViewer->moveCursor(QTextCursor::Start);
  Notebook->setCurrentIndex(pgText);
}

void TFormResource::ShowHex(TResourceItem& item) {
  HexDump->SetData(item.RawData());
  Notebook->setCurrentIndex(pgHex);
}

QPixmap TFormResource::DialogPicture(const resources::TNameOrId& name, bool icon) {
  TResourceList* root = ExeImage ? ExeImage->Resources() : nullptr;
  if (!root || !name.Present)
    return {};
  const uint32_t wanted =
      static_cast<uint32_t>(icon ? TResourceType::rtIcon : TResourceType::rtBitmap);
  try {
    for (size_t i = 0; i < root->Count(); ++i) {
      TResourceItem& type = root->Item(i);
      if (type.IsNamed() || type.Id() != wanted || !type.IsList())
        continue;
      TResourceList& list = type.GetResourceList();
      for (size_t j = 0; j < list.Count(); ++j) {
        TResourceItem& found = list.Item(j);
        if (name.IsId ? found.IsNamed() || found.Id() != name.Id : found.StoredName() != name.Name)
          continue;
        TResourceItem* picture = &found;
        if (icon) {
          if (!found.IsList() || found.GetResourceList().Count() == 0)
            return {};
          picture = &found.GetResourceList().Item(0);
        }
        const std::vector<uint8_t> file = picture->FileImage();
        QImage image;
        if (image.loadFromData(file.data(), int(file.size()), icon ? "ICO" : "BMP") &&
            int64_t{image.width()} * image.height() <= MaxPicturePixels)
          return QPixmap::fromImage(image);
        return {};
      }
    }
  } catch (const EExeError&) {
  }
  return {};
}

void TFormResource::ShowDialog(TResourceItem& item) {
  const auto dialog = resources::DecodeDialog(item.RawData());
  if (!dialog) {
    ShowMessage(QStringLiteral("Unable to create this dialog, sorry."));
    return;
  }
  if (TDialogPlaceholder* old = DialogPreview())
    old->close();
  auto* preview =
      new TDialogPlaceholder(*dialog, [this](const resources::TNameOrId& name, bool icon) {
        return DialogPicture(name, icon);
      });
  preview->setParent(this, preview->windowFlags());
  const int stripped = preview->Dialog()->Stripped();
  ShowMessage(stripped == 0 ? QStringLiteral("Take a look!")
                            : QStringLiteral("%1 control(s) has been stripped.").arg(stripped));
  preview->ShowBoth(mapToGlobal(QPoint(std::max(0, (width() - 500) / 2), 60)));
}

TDialogPlaceholder* TFormResource::DialogPreview() const {
  return findChild<TDialogPlaceholder*>(QString(), Qt::FindDirectChildrenOnly);
}

void TFormResource::ShowVersion() {
  // The page shows the file's version information, whichever version item was chosen: that of
  // the first version resource.
  TResourceList* root = ExeImage ? ExeImage->Resources() : nullptr;
  if (!root)
    return;
  std::optional<resources::TVersionInfo> info;
  for (size_t i = 0; i < root->Count() && !info; ++i) {
    TResourceItem& type = root->Item(i);
    if (type.IsNamed() || type.Id() != static_cast<uint32_t>(TResourceType::rtVersion) ||
        !type.IsList() || type.GetResourceList().Count() == 0)
      continue;
    info = resources::DecodeVersionInfo(type.GetResourceList().Item(0).RawData());
  }
  if (!info)
    return;
  const TVersionRows rows = MakeVersionRows(*info);
  VIList->clear();
  for (const auto& [caption, value] : rows.Rows)
    new QTreeWidgetItem(VIList, {caption, value});
  Label3->setText(rows.LanguageText);
  Notebook->setCurrentIndex(pgVersion);
}

void TFormResource::ShowAvi(TResourceItem& item) {
  RemoveAvi();
  const std::string folder = platform::MakeProcessTemp(platform::ProgramFolder());
  const resources::TBytes data = item.RawData();
  if (!folder.empty()) {
    std::string name = folder + "/AVIXXXXXX.avi";
    // mkstemps makes the file with mode 0600 and a name nobody else holds.
    const int fd = mkstemps(name.data(), 4);
    if (fd >= 0) {
      const bool written = platform::WriteAll(fd, data.data(), data.size());
      ::close(fd);
      if (written)
        AviTemp = name;
      else
        ::unlink(name.c_str());
    }
  }
  if (AviTemp.empty()) {
    ShowMessage(QStringLiteral("The clip cannot be written to a temporary file."));
    return;
  }
  MediaLabel->setText(QStringLiteral("AVI clip, %1 bytes").arg(data.size()));
  Notebook->setCurrentIndex(pgMedia);
}

void TFormResource::PlayAvi() {
  if (!AviTemp.empty())
    platform::OpenDocument(AviTemp, std::filesystem::path(AviTemp).parent_path().string());
}

void TFormResource::RemoveAvi() {
  if (!AviTemp.empty())
    ::unlink(AviTemp.c_str());
  AviTemp.clear();
}

// ---- list view, tree commands ----

void TFormResource::SelectListViewType(int tag) {
  ListStyle = std::clamp(tag, 0, 3);
  ViewButtons[ListStyle]->setChecked(true);
  const bool details = ListStyle == 3;
  ListView->setVisible(details);
  ListViewIcons->setVisible(!details);
  if (details)
    return;
  if (ListStyle == 2) {
    ListViewIcons->setViewMode(QListView::ListMode);
    ListViewIcons->setFlow(QListView::TopToBottom);
    ListViewIcons->setWrapping(true);
    ListViewIcons->setIconSize(QSize(16, 16));
  } else {
    ListViewIcons->setViewMode(ListStyle == 0 ? QListView::IconMode : QListView::ListMode);
    ListViewIcons->setFlow(QListView::LeftToRight);
    ListViewIcons->setWrapping(true);
    ListViewIcons->setIconSize(ListStyle == 0 ? QSize(32, 32) : QSize(16, 16));
    ListViewIcons->setGridSize(ListStyle == 0 ? QSize(96, 64) : QSize());
  }
  ListViewIcons->setResizeMode(QListView::Adjust);
}

TResourceItem* TFormResource::SelectedListItem() const {
  if (Notebook->currentIndex() != pgList)
    return nullptr;
  const QAbstractItemView* view =
      ListStyle == 3 ? static_cast<const QAbstractItemView*>(ListView) : ListViewIcons;
  const QModelIndex index = view->selectionModel()->currentIndex();
  if (!index.isValid() || !view->selectionModel()->isSelected(index))
    return nullptr;
  return static_cast<TResourceItem*>(
      ListModel->index(index.row(), 0).data(ItemRole).value<void*>());
}

void TFormResource::ListViewChange() {
  SetSaveEnabled();
}

void TFormResource::ListViewEnter() {
  QAbstractItemView* view =
      ListStyle == 3 ? static_cast<QAbstractItemView*>(ListView) : ListViewIcons;
  if (ListModel->rowCount() >= 2 && !view->selectionModel()->hasSelection()) {
    view->setCurrentIndex(ListModel->index(0, 0));
    view->selectionModel()->select(ListModel->index(0, 0),
                                   QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows);
  }
}

void TFormResource::Fullexpand1Click() {
  TreeView->expandAll();
}

void TFormResource::Fullcollapse1Click() {
  TreeView->collapseAll();
}

void TFormResource::PopupMenu2Popup() {
  const QTreeWidgetItem* node = TreeView->currentItem();
  const bool savable = (node && node->childCount() == 0) || SelectedListItem();
  Saveas1->setEnabled(savable);
  Saveas2->setEnabled(savable);
}

int TFormResource::SaveFilterIndex(int32_t resType) {
  switch (resType) {
  case 1:
    return 4;
  case 2:
    return 2;
  case 3:
    return 3;
  default:
    return 1;
  }
}

QString TFormResource::SuggestedFileName(const TResourceItem& item) {
  const int32_t type = item.ResType();
  QString name = Utf8(item.GetName());
  // A stored name is the examined file's text: it must not lead the dialog to another folder.
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return name + QLatin1Char('.') +
         QLatin1String(type >= 0 && type <= 16 ? Extensions[type] : Extensions[0]);
}

void TFormResource::SaveResource() {
  TResourceItem* item = nullptr;
  if (TResourceItem* tree = ItemOf(TreeView->currentItem()); tree && !tree->IsList())
    item = tree;
  else if (TResourceItem* row = SelectedListItem(); row && !row->IsList())
    item = row;
  if (!item) {
    TAsker::Current().Error(this, QStringLiteral("No resource selected"));
    return;
  }
  const std::optional<QString> target =
      OnAskSaveName(SuggestedFileName(*item), SaveFilterIndex(item->ResType()));
  if (!target)
    return;
  try {
    item->SaveToFile(target->toStdString());
  } catch (const EExeError& failure) {
    TAsker::Current().Error(this, QString::fromUtf8(failure.what()));
  }
}

// ---- window ----

void TFormResource::FormActivate() {
  if (!Language || LanguageName == QLatin1String("ENGLISH"))
    return;
  const auto text = [this](const char* key) {
    return Language->Read("Resource Explorer", key, QStringLiteral("Error loading resource"));
  };
  FileMenu->setTitle(text("Menu_File"));
  const QString save = text("Menu_File_Save");
  SaveResource1->setText(save);
  Saveas1->setText(save);
  Saveas2->setText(save);
  SaveResBtn->setToolTip(save);
  const QString exit = text("Menu_File_Exit");
  Exit1->setText(exit);
  SpeedButton6->setToolTip(exit);
  ServiceMenu->setTitle(text("Menu_Service"));
  Fullexpand1->setText(text("Menu_Service_Expand"));
  Fullexpand2->setText(text("Menu_Service_Expand"));
  Fullcollapse1->setText(text("Menu_Service_Collaps"));
  Fullcollapse2->setText(text("Menu_Service_Collaps"));
  const char* hints[4] = {"Large_Icons", "Small_Icons", "List", "Table"};
  for (int tag = 0; tag < 4; ++tag)
    ViewButtons[tag]->setToolTip(text(hints[tag]));
  ListModel->setHorizontalHeaderLabels({text("Name"), text("OffSet"), text("Size")});
  ObjectsWord = text("Objects");
  OffsetWord = text("OffSet");
  SizeWord = text("Size");
}

void TFormResource::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    FormActivate();
  QMainWindow::changeEvent(event);
}

bool TFormResource::eventFilter(QObject* watched, QEvent* event) {
  // A right press on a node selects it first, so that the tree's menu works on that node.
  if (watched == TreeView->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() == Qt::RightButton)
      if (QTreeWidgetItem* node = TreeView->itemAt(press->position().toPoint()))
        TreeView->setCurrentItem(node);
  }
  if ((watched == ListView || watched == ListViewIcons) && event->type() == QEvent::FocusIn)
    ListViewEnter();
  return QMainWindow::eventFilter(watched, event);
}

void TFormResource::closeEvent(QCloseEvent* event) {
  if (OnLeftFolder)
    config::WriteRegistryString(RegistryKey, "LastPath", OnLeftFolder());
  if (TDialogPlaceholder* preview = DialogPreview())
    preview->close();
  QMainWindow::closeEvent(event);
}

} // namespace corvane
