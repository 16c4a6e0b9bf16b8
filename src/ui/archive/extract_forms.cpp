#include "archive/extract_forms.h"

#include "archive/archive_component.h"
#include "archive/entry_path.h"
#include "config/text_codec.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// More faults than this are summed up in one line, so that the box stays readable.
constexpr size_t ShownFaults = 10;
// During one big file the window's events run at most this often (in milliseconds); a burst of
// progress steps of a small file would otherwise repaint the window for every step.
constexpr qint64 EventsInterval = 20;

QString FromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

// A native path the components report, as the panels show paths.
QString ShownPath(const std::string& native) {
  return FromBytes(platform::NativeToModel(native).value_or(native));
}

// A reader fault as the extraction window reports it: the name, then the code and its text. Empty
// for codes that are neither errors nor password messages.
QString ReaderMessage(const QString& name, int code, const std::string& text) {
  const QString number = QString::number(code);
  if (code >= 25100 && code <= 25450)
    return name + QStringLiteral("\n\nError#: ") + number + QStringLiteral("\n\nError: ") +
           FromBytes(text) + QStringLiteral("\n\n");
  if (code >= 26500 && code <= 26522)
    return name + QStringLiteral("\n\nGeneral Message: ") + number +
           QStringLiteral("\n\nMessge: ") + FromBytes(text) + QStringLiteral("\n\n");
  return {};
}

// A fault that ended the work, in the same form, for any code.
QString FaultMessage(const QString& name, int code, const std::string& text) {
  const QString message = ReaderMessage(name, code, text);
  if (!message.isEmpty())
    return message.trimmed();
  return name + QStringLiteral("\n\nError#: ") + QString::number(code) +
         QStringLiteral("\n\nError: ") + FromBytes(text);
}

// Centred over the main window while it shows, else on the screen.
void Centre(QWidget* window, const QWidget* over) {
  if (over && over->isVisible() && !over->isMinimized())
    window->move(over->frameGeometry().center() - window->rect().center());
  else if (const QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->geometry().center() - window->rect().center());
}

// Runs the extraction window over one archive, with both panels' folder monitors off meanwhile:
// unpacking changes the folders thousands of times.
void RunExtraction(TForm1* main, const TExtractRequest& request) {
  for (TFPanel* panel : {main->LeftPanel(), main->RightPanel()})
    panel->StopMonitor();
  {
    TFormExtFile window(main, request);
    window.exec();
  }
  for (TFPanel* panel : {main->LeftPanel(), main->RightPanel()})
    panel->StartMonitor();
}

// The entry under the active panel's cursor, as a model path; empty for none or "..".
std::string CursorArchive(TForm1* main) {
  const TFPanel* panel = main->ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  if (!entry || entry->IsUpEntry())
    return {};
  return panel->Browser.RootPath() + panel->Browser.RelPath() + entry->EntryName();
}

} // namespace

std::string& ExtractPassword() {
  static std::string password;
  return password;
}

TExtractTexts& ExtractTexts() {
  static TExtractTexts texts;
  return texts;
}

// ---- TFormExtract ----

TFormExtract::TFormExtract(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormExtract"));
  setWindowTitle(Text("Caption"));
  setFixedSize(400, 160);
  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 4, 384, 112);
  Label1 = new QLabel(Text("Label_Extract"), GroupBox1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(10, 14, 364, 16);
  Edit1 = new QComboBox(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEditable(true);
  Edit1->setInsertPolicy(QComboBox::NoInsert);
  Edit1->setGeometry(10, 32, 364, 22);
  Label2 = new QLabel(Text("Label_Password"), GroupBox1);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(10, 62, 364, 16);
  Edit2 = new QLineEdit(GroupBox1);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setEchoMode(QLineEdit::Password);
  Edit2->setGeometry(10, 80, 364, 21);
  Button1 = new QPushButton(Text("Button_Extract"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(124, 126, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(Text("Button_Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(206, 126, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  // The extraction window's texts are the program's; each dialog made reads them again, so that
  // they follow the language chosen last.
  const TExtractTexts builtIn;
  auto read = [this](const char* key, const QString& fallback) {
    return Main->LanguageFile.Read("Extract", key, fallback);
  };
  TExtractTexts& texts = ExtractTexts();
  texts.File = read("Res_file", builtIn.File);
  texts.From = read("Res_from", builtIn.From);
  texts.Extracting = read("Res_extr", builtIn.Extracting);
  texts.Scan = read("Res_scan", builtIn.Scan);
  texts.NoExtractor = read("Msg_NoExtractor", builtIn.NoExtractor);
  texts.NoTarget = read("Msg_NoTarget", builtIn.NoTarget);
  texts.FailedOne = read("Msg_FailedOne", builtIn.FailedOne);
  texts.Failed = read("Msg_Failed", builtIn.Failed);
  texts.More = read("Msg_More", builtIn.More);

  const TFPanel* other = Main->OtherPanel();
  Edit1->setEditText(FromBytes(other->Browser.ShownPath()));
  Edit2->setText(FromBytes(ExtractPassword()));
  Edit1->setFocus();
}

QString TFormExtract::Text(const char* key) const {
  return Main->LanguageFile.Read("Extract", key, QStringLiteral("Error loading resource"));
}

std::string TFormExtract::TargetFolder() const {
  const std::string typed = Edit1->currentText().toStdString();
  // Without a drive the folder is taken from the active panel's, as a copy target is.
  const TBrowser& browser = Main->ActivePanel()->Browser;
  return platform::TypedToModel(typed, browser.RootPath() + browser.RelPath()).value_or(typed);
}

void TFormExtract::Button1Click() {
  const std::string archive = CursorArchive(Main);
  if (archive.empty()) {
    reject();
    return;
  }
  ExtractPassword() = Edit2->text().toStdString();
  hide();
  RunExtraction(Main, TExtractRequest{archive, TargetFolder()});
  accept();
}

// ---- TFormExtFile ----

TFormExtFile::TFormExtFile(TForm1* mainWindow, TExtractRequest request)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      Main(mainWindow), Request(std::move(request)) {
  setObjectName(QStringLiteral("FormExtFile"));
  const TExtractTexts& texts = ExtractTexts();
  setWindowTitle(texts.Extracting + QStringLiteral("..."));
  setFixedSize(380, 104);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(10, 8, 360, 16);
  Label2 = new QLabel(texts.Scan, this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(10, 28, 360, 16);
  PB1 = new QProgressBar(this);
  PB1->setObjectName(QStringLiteral("PB1"));
  PB1->setGeometry(10, 52, 360, 16);
  PB2 = new QProgressBar(this);
  PB2->setObjectName(QStringLiteral("PB2"));
  PB2->setGeometry(10, 76, 360, 16);
  for (QProgressBar* bar : {PB1, PB2}) {
    bar->setRange(0, 100);
    bar->setValue(0);
  }
  Centre(this, Main);
}

TFormExtFile::~TFormExtFile() = default;

void TFormExtFile::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The work starts once the window is on the screen.
  if (!Started)
    QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TFormExtFile::StopWork() {
  StopAsked = true;
  if (Extractor)
    Extractor->Stop();
}

void TFormExtFile::closeEvent(QCloseEvent* event) {
  if (Running) {
    // The extraction ends after its current block, and the window closes then.
    StopWork();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TFormExtFile::reject() {
  if (Running) {
    StopWork();
    return;
  }
  QDialog::reject();
}

void TFormExtFile::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Minimising the window minimises the whole program instead.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
      !Main->isMinimized()) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    Main->showMinimized();
  }
}

void TFormExtFile::FormActivate() {
  if (Started)
    return;
  Started = true;
  Running = true;
  StopAsked = false;
  EntriesRead = 0;
  FilesStarted = 0;
  LastName.clear();
  Faults.clear();
  SinceEvents.start();
  QString report;
  const auto native = platform::ModelToNative(Request.Archive);
  archive::TArcType type = archive::TArcType::atNA;
  if (!native)
    report = FaultMessage(FromBytes(Request.Archive), archive::errOpenFile,
                          archive::ArchiveErrorText(archive::errOpenFile));
  else if (CountEntries(*native, type, report) && !StopAsked)
    report = ExtractAll(*native, type);
  Running = false;
  Extractor.reset();
  Main->setWindowTitle(QStringLiteral("Corvane v1.50"));
  Main->Update_AllPanels();
  if (!report.isEmpty())
    TAsker::Current().Error(this, report);
  // Closed from the event loop: this may run inside the window's own show handling.
  QTimer::singleShot(0, this, [this] { accept(); });
}

bool TFormExtFile::CountEntries(const std::string& nativeArchive, archive::TArcType& type,
                                QString& report) {
  archive::TZipTV reader;
  reader.FileSpec = "*.*";
  reader.ZipCmntBufSize = 2000;
  reader.CodePage = config::DosCodePageOf(Main->Settings.Language.toStdString());
  int shownCode = 0;
  reader.OnRead = [this](archive::TZipTV*, int64_t, int) { ++EntriesRead; };
  reader.OnError = [this, &shownCode](archive::TAwkMain*, const std::string& fn,
                                      const std::string& text, const std::string&, int code) {
    const QString message = ReaderMessage(ShownPath(fn), code, text);
    if (message.isEmpty())
      return;
    TAsker::Current().Information(this, message);
    shownCode = code;
  };
  try {
    reader.SetArchiveFile(nativeArchive);
    reader.ReadArchive();
  } catch (const archive::EArchiveError& error) {
    // The reader has told of its fault already, unless the code was not one it shows.
    if (error.Code() != shownCode)
      report = FaultMessage(ShownPath(nativeArchive), error.Code(), error.what());
    return false;
  }
  type = reader.ArcType();
  return true;
}

QString TFormExtFile::ExtractAll(const std::string& nativeArchive, archive::TArcType type) {
  const TExtractTexts& texts = ExtractTexts();
  // The extractor follows what the archive is, whatever its name says.
  Extractor = archive::MakeExtractor(type);
  if (!Extractor)
    return ShownPath(nativeArchive) + QStringLiteral("\n\n") + texts.NoExtractor;
  const QString noTarget = texts.NoTarget + '\n' + FromBytes(Request.Target);
  const auto target = platform::ModelToNative(Request.Target);
  if (!target)
    return noTarget;
  Extractor->FileSpec = "*.*";
  Extractor->CodePage = config::DosCodePageOf(Main->Settings.Language.toStdString());
  Extractor->CpuType = archive::TCpuType::cptAuto;
  Extractor->ProgressNotify = archive::TProgressNotify::Five;
  Extractor->ExtractDir = *target;
  if (auto* unzip = dynamic_cast<archive::TUnZIP*>(Extractor.get())) {
    unzip->ZipCmntBufSize = 2000;
    // The stored password, once for each encrypted entry: a wrong one fails that entry.
    unzip->OnGetPassword = [](archive::TUnZIP*, const std::string&, std::string& password,
                              bool& tryAgain) {
      password = ExtractPassword();
      tryAgain = false;
    };
  } else if (auto* unrar = dynamic_cast<archive::TUnRAR*>(Extractor.get())) {
    unrar->Password = ExtractPassword();
  }
  Extractor->OnBegin = [this](archive::TUnBase*, const std::string& fn, int, bool&) {
    FileStarted(fn);
  };
  Extractor->OnProgress = [this](archive::TUnBase*, const std::string&, uint8_t progress) {
    PB1->setValue(progress);
    if (SinceEvents.elapsed() >= EventsInterval) {
      QCoreApplication::processEvents();
      SinceEvents.restart();
    }
  };
  Extractor->OnError = [this, nativeArchive](archive::TAwkMain* sender, const std::string& fn,
                                             const std::string& text, const std::string&,
                                             int code) {
    // A fault of the whole archive arrives again as the exception; a stop is no fault.
    if (fn == nativeArchive || code == archive::errUserAborted)
      return;
    const auto* extractor = static_cast<archive::TUnBase*>(sender);
    std::string name = archive::ModelEntryName(extractor->Entry().Name);
    Faults.push_back({name.empty() ? fn : name, code, text});
  };
  QString report;
  try {
    Extractor->SetArchiveFile(nativeArchive);
    Extractor->Extract();
  } catch (const archive::EArchiveError& error) {
    if (error.Code() == archive::errCreateDir)
      report = noTarget;
    else if (error.Code() != archive::errUserAborted)
      report = FaultMessage(ShownPath(nativeArchive), error.Code(), error.what());
  }
  const QString summary = FaultSummary();
  if (!summary.isEmpty())
    report += (report.isEmpty() ? QString() : QStringLiteral("\n\n")) + summary;
  return report;
}

void TFormExtFile::FileStarted(const std::string& name) {
  ++FilesStarted;
  LastName = name;
  const TExtractTexts& texts = ExtractTexts();
  Label1->setText(texts.File + ' ' + QString::number(FilesStarted) + ' ' + texts.From + ' ' +
                  QString::number(EntriesRead));
  const QString current = texts.Extracting + QStringLiteral(": ") + FromBytes(name);
  Label2->setText(
      QFontMetrics(Label2->font()).elidedText(current, Qt::ElideMiddle, Label2->width()));
  PB1->setValue(0);
  const int total =
      EntriesRead > 0
          ? std::min(100, static_cast<int>(std::nearbyint(FilesStarted * 100.0 / EntriesRead)))
          : 0;
  PB2->setValue(total);
  Main->setWindowTitle(QStringLiteral("Corvane (%1%)").arg(total));
  QCoreApplication::processEvents();
  SinceEvents.restart();
}

QString TFormExtFile::FaultSummary() const {
  if (Faults.empty())
    return {};
  const TExtractTexts& texts = ExtractTexts();
  QString text = Faults.size() == 1 ? texts.FailedOne : texts.Failed.arg(Faults.size());
  // "and 1 more" would take the line the fault itself needs.
  const size_t shown = Faults.size() > ShownFaults + 1 ? ShownFaults : Faults.size();
  for (size_t i = 0; i < shown; ++i)
    text += '\n' + FromBytes(Faults[i].Name) + QStringLiteral(": ") +
            QString::number(Faults[i].Code) + ' ' + FromBytes(Faults[i].Text);
  if (shown < Faults.size())
    text += '\n' + texts.More.arg(Faults.size() - shown);
  return text;
}

// ---- the commands ----

void ExtractFilesCommand(TForm1* mainWindow) {
  TFormExtract form(mainWindow);
  form.exec();
}

void ExtractAllCommand(TForm1* mainWindow) {
  const std::string archive = CursorArchive(mainWindow);
  if (archive.empty())
    return;
  // Made only for its texts: the extraction window shows the language's words.
  { TFormExtract texts(mainWindow); }
  const TFPanel* panel = mainWindow->ActivePanel();
  RunExtraction(mainWindow,
                TExtractRequest{archive, panel->Browser.RootPath() + panel->Browser.RelPath()});
}

} // namespace corvane
