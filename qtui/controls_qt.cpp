// The widgets of the toolkit's controls: one view class per kind of control.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <string_view>

#include "qtui/canvas_qt.h"
#include "qtui/form_window.h"
#include "resources/resources.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::qtui {

using ui::Prop;

namespace {

std::function<void()>& AfterUserAction() {
  static std::function<void()> hook;
  return hook;
}

// UTF-8 byte offsets of the model and character indexes of Qt.
int ByteOffset(const QString& s, int index) {
  return static_cast<int>(s.left(index).toUtf8().size());
}
int CharIndex(const std::string& utf8, int bytes) {
  bytes = std::clamp(bytes, 0, static_cast<int>(utf8.size()));
  return static_cast<int>(QString::fromUtf8(utf8.data(), bytes).size());
}

QStringList ToQStrings(const std::vector<std::string>& items) {
  QStringList out;
  out.reserve(static_cast<int>(items.size()));
  for (auto& s : items) out << Q(s);
  return out;
}

// ---- Labels and images: clicks and double clicks as the toolkit has them
// (a click on the release, the double click on the second press, and no
// click for the release that ends a double click).

class ClickLabel : public QLabel {
 public:
  ClickLabel(ui::TControl& model, QWidget* parent) : QLabel(parent), model_(model) {}

 protected:
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    e->accept();
    if (e->button() != Qt::LeftButton) return;
    if (afterDouble_) {
      afterDouble_ = false;
      return;
    }
    if (rect().contains(e->position().toPoint())) RunUserAction([this] { model_.UserClick(); });
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    e->accept();
    if (e->button() != Qt::LeftButton) return;
    afterDouble_ = true;
    RunUserAction([this] { model_.UserDblClick(); });
  }

 private:
  ui::TControl& model_;
  bool afterDouble_ = false;
};

class LabelView : public ControlView {
 public:
  LabelView(ui::TLabel& m, QWidget* parent) : LabelView(new ClickLabel(m, parent), m) { Attach(); }

 protected:
  LabelView(ClickLabel* w, ui::TControl& m) : ControlView(m, w), label_(w) {
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_->setTextFormat(Qt::PlainText);
    label_->setAutoFillBackground(true);
  }
  void Sync(Prop p) override {
    if (p == Prop::Caption || (p == Prop::Geometry && FixedWidth())) {
      QString text = Q(Model().Caption());
      if (!FixedWidth()) {
        label_->setText(text);
      } else {
        // A fixed width shows what fits, with an ellipsis, and the whole
        // text as the label's tip.
        QString shown = label_->fontMetrics().elidedText(text, Qt::ElideRight, Model().Width());
        label_->setText(shown);
        label_->setToolTip(shown == text ? QString() : text);
      }
      ControlView::Sync(Prop::Geometry);  // the label grows with its text
    }
    ControlView::Sync(p);
  }
  bool FixedWidth() const {
    auto* label = dynamic_cast<const ui::TLabel*>(&Model());
    return label && !label->AutoSize;
  }
  // Labels size themselves to their text, as the toolkit's labels do by
  // default: the background they fill is the text's.
  QRect Bounds() const override {
    QRect r = ControlView::Bounds();
    if (Model().GetKind() != ui::Kind::Label || FixedWidth()) return r;
    QSize hint = label_->sizeHint();
    r.setSize(Model().Caption().empty() ? QSize(0, hint.height()) : hint);
    return r;
  }
  ClickLabel* label_;
};

class ImageView : public LabelView {
 public:
  ImageView(ui::TImage& m, QWidget* parent) : LabelView(new ClickLabel(m, parent), m) {
    label_->setAutoFillBackground(false);
    // The picture is a resource of the program: the design's picture name,
    // else the control's own name.
    std::string name = m.Picture.empty() ? m.Name() : m.Picture;
    if (name.find('.') == std::string::npos) name += ".png";
    std::string_view data;
    QPixmap pixmap;
    if (resources::Find("images/" + name, data))
      pixmap.loadFromData(reinterpret_cast<const uchar*>(data.data()),
                          static_cast<uint>(data.size()));
    label_->setPixmap(pixmap);
    Attach();
  }

 private:
  void Sync(Prop p) override {
    if (p != Prop::Caption) LabelView::Sync(p);  // a text would replace the picture
  }
};

// ---- Buttons and check boxes

class ButtonView : public ControlView {
 public:
  ButtonView(ui::TButton& m, QWidget* parent) : ButtonView(m, new QPushButton(parent)) {}

 private:
  ButtonView(ui::TButton& m, QPushButton* w) : ControlView(m, w), button_(w) {
    button_->setAutoDefault(false);
    QObject::connect(button_, &QPushButton::clicked, button_,
                     [this] { RunUserAction([this] { Model().UserClick(); }); });
    Attach();
  }
  void Sync(Prop p) override {
    if (p == Prop::Caption) button_->setText(Q(Model().Caption()));
    ControlView::Sync(p);
  }
  QPushButton* button_;
};

// A check box whose state only the model changes: a click asks the model to
// toggle, which fires its click event, and the box then shows the new state.
class ModelCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

class CheckBoxView : public ControlView {
 public:
  CheckBoxView(ui::TCheckBox& m, QWidget* parent) : CheckBoxView(m, new ModelCheckBox(parent)) {}

 private:
  CheckBoxView(ui::TCheckBox& m, ModelCheckBox* w) : ControlView(m, w), model_(m), box_(w) {
    QObject::connect(box_, &QCheckBox::clicked, box_, [this] {
      RunUserAction([this] { model_.UserClick(); });
      Update(Prop::Checked);
    });
    Attach();
  }
  void Sync(Prop p) override {
    if (p == Prop::Caption) box_->setText(Q(model_.Caption()));
    if (p == Prop::Checked) {
      QSignalBlocker block(box_);
      box_->setChecked(model_.Checked());
    }
    ControlView::Sync(p);
  }
  ui::TCheckBox& model_;
  ModelCheckBox* box_;
};

// ---- Edit fields

// A line edit whose text only the model changes: typed characters go through
// the model's key handling (which may discard them), other edits (delete,
// cut, a paste from the menu) through the model's user edit; the model's text
// then comes back to the widget.
class ModelLineEdit : public QLineEdit {
 public:
  ModelLineEdit(ui::TEdit& model, QWidget* parent) : QLineEdit(parent), model_(model) {
    QObject::connect(this, &QLineEdit::textEdited, this, [this](const QString& t) {
      if (U8(t) == model_.Text()) return;
      int caret = cursorPosition();
      RunUserAction([&] {
        model_.UserEdit(U8(t));
        model_.SetSelection(ByteOffset(t, caret), 0);
      });
      ShowModel();
    });
  }

  // Shows the model's text, and its caret and selection while the field has
  // the focus (without it, the text shows from its start).
  void ShowModel() {
    const std::string& text = model_.Text();
    QSignalBlocker block(this);
    if (U8(this->text()) != text) setText(Q(text));
    if (!hasFocus()) {
      setCursorPosition(0);
      return;
    }
    int start = CharIndex(text, model_.SelStart());
    int end = CharIndex(text, model_.SelStart() + model_.SelLength());
    if (end > start)
      setSelection(start, end - start);
    else
      setCursorPosition(start);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->matches(QKeySequence::Paste)) {
      QString clip = QApplication::clipboard()->text().section('\n', 0, 0);
      Type(U8(clip.remove('\r')));
      return;
    }
    if (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)) return;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      e->ignore();
      return;
    }
    if (e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::KeypadModifier)) {
      Type("\b");
      return;
    }
    QString t = e->text();
    bool command = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!command && !t.isEmpty() && t.at(0).isPrint()) {
      Type(U8(t));
      return;
    }
    QLineEdit::keyPressEvent(e);  // caret, selection, copy; edits come back as textEdited
  }

  void inputMethodEvent(QInputMethodEvent* e) override {
    if (!e->commitString().isEmpty()) {
      Type(U8(e->commitString()));
      QInputMethodEvent rest(e->preeditString(), e->attributes());
      QLineEdit::inputMethodEvent(&rest);
      return;
    }
    QLineEdit::inputMethodEvent(e);
  }

 private:
  void Type(const std::string& text) {
    QString shown = this->text();
    int start = hasSelectedText() ? selectionStart() : cursorPosition();
    int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
    RunUserAction([&] {
      model_.SetSelection(ByteOffset(shown, start),
                          ByteOffset(shown, start + length) - ByteOffset(shown, start));
      model_.UserInput(text);
    });
    ShowModel();
  }

  ui::TEdit& model_;
};

class EditView : public ControlView {
 public:
  EditView(ui::TEdit& m, QWidget* parent) : EditView(m, new ModelLineEdit(m, parent)) {}

 private:
  EditView(ui::TEdit& m, ModelLineEdit* w) : ControlView(m, w), edit_(w) { Attach(); }
  void Sync(Prop p) override {
    if (p == Prop::Text || p == Prop::Caption) edit_->ShowModel();
    ControlView::Sync(p);
  }
  ModelLineEdit* edit_;
};

// An editable drop-down list: choosing an item is the user's choice; typing
// goes through the model as in an edit field. The wheel turns only a box that
// has the focus, so that scrolling past it changes nothing.
class ModelComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* e) override {
    if (hasFocus())
      QComboBox::wheelEvent(e);
    else
      e->ignore();
  }
};

class ComboBoxView : public ControlView {
 public:
  ComboBoxView(ui::TComboBox& m, QWidget* parent) : ComboBoxView(m, new ModelComboBox(parent)) {}

 private:
  ComboBoxView(ui::TComboBox& m, ModelComboBox* w) : ControlView(m, w), model_(m), combo_(w) {
    combo_->setEditable(true);
    edit_ = new ModelLineEdit(m, combo_);
    combo_->setLineEdit(edit_);
    combo_->setCompleter(nullptr);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMaxVisibleItems(16);
    QObject::connect(combo_, &QComboBox::activated, combo_, [this](int index) {
      if (Syncing()) return;
      std::string text = U8(combo_->itemText(index));
      RunUserAction([&] { model_.UserChoose(text); });
      Update(Prop::Text);
    });
    Attach();
  }
  void Sync(Prop p) override {
    if (p == Prop::Items || p == Prop::ItemIndex || p == Prop::Text || p == Prop::Caption) {
      QSignalBlocker block(combo_);
      if (p == Prop::Items) {
        combo_->clear();
        combo_->addItems(ToQStrings(model_.Items()));
      }
      if (combo_->currentIndex() != model_.ItemIndex()) combo_->setCurrentIndex(model_.ItemIndex());
      edit_->ShowModel();
    }
    ControlView::Sync(p);
  }
  ui::TComboBox& model_;
  ModelComboBox* combo_;
  ModelLineEdit* edit_ = nullptr;
};

// ---- Memo and list box

// A memo's editor. A short document lives in the editor's own text document
// (selection by character, as usual); a long one (a download, the graph's
// data) is painted straight from the form's lines instead: nothing is copied,
// only the lines on screen are converted and drawn, so the memory and the time
// to show it do not grow with the document. Whole lines are selected then
// (mouse, Shift with the arrow keys, Ctrl+A) and copied with Ctrl+C.
class MemoEditor : public QPlainTextEdit {
 public:
  MemoEditor(const ui::TMemo& model, QWidget* parent) : QPlainTextEdit(parent), model_(model) {
    // The editor resets the bars to its (empty) document now and then; a
    // painted document puts its own ranges back at once.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
      QObject::connect(bar, &QScrollBar::rangeChanged, this, [this] {
        if (painted_ && !settingBars_) UpdateBars();
      });
  }

  bool Painted() const { return painted_; }

  // Paints the model's lines; toEnd shows the last line, top the first.
  void ShowPainted(size_t widestFrom, bool toEnd, bool top) {
    if (!painted_) {
      painted_ = true;
      clear();
    }
    const auto& lines = model_.Lines();
    if (widestFrom == 0) widestBytes_ = 0;
    for (size_t i = widestFrom; i < lines.size(); ++i)
      widestBytes_ = std::max(widestBytes_, lines[i].size());
    anchor_ = std::min(anchor_, static_cast<int>(lines.size()) - 1);
    current_ = std::min(current_, static_cast<int>(lines.size()) - 1);
    UpdateBars();
    if (toEnd) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    if (top) verticalScrollBar()->setValue(0);
    viewport()->update();
  }
  // Back to the editor's own document (the caller fills it).
  void ShowDocument() {
    painted_ = false;
    anchor_ = current_ = -1;
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!painted_) return QPlainTextEdit::paintEvent(e);
    QPainter p(viewport());
    p.fillRect(e->rect(), palette().base());
    const QFontMetrics fm(font());
    const auto& lines = model_.Lines();
    const int h = RowHeight();
    const int first = verticalScrollBar()->value();
    const int x = kMargin - horizontalScrollBar()->value();
    const auto [from, to] = Selection();
    for (int r = 0; r * h < viewport()->height(); ++r) {
      int i = first + r;
      if (i >= static_cast<int>(lines.size())) break;
      int y = kMargin + r * h;
      bool selected = i >= from && i <= to;
      if (selected) p.fillRect(QRect(0, y, viewport()->width(), h), palette().highlight());
      p.setPen(selected ? palette().highlightedText().color() : palette().text().color());
      p.drawText(x, y + fm.ascent(), Q(ui::Cp932ToUtf8(lines[i])));
    }
  }
  void resizeEvent(QResizeEvent* e) override {
    QPlainTextEdit::resizeEvent(e);
    if (painted_) UpdateBars();
  }
  void scrollContentsBy(int dx, int dy) override {
    if (!painted_) return QPlainTextEdit::scrollContentsBy(dx, dy);
    viewport()->update();
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (!painted_) return QPlainTextEdit::mousePressEvent(e);
    setFocus(Qt::MouseFocusReason);
    if (e->button() != Qt::LeftButton) return;
    current_ = LineAt(e->position().y());
    if (!(e->modifiers() & Qt::ShiftModifier) || anchor_ < 0) anchor_ = current_;
    viewport()->update();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!painted_) return QPlainTextEdit::mouseMoveEvent(e);
    if (!(e->buttons() & Qt::LeftButton) || anchor_ < 0) return;
    current_ = LineAt(e->position().y());
    ScrollTo(current_);
    viewport()->update();
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (!painted_) return QPlainTextEdit::mouseReleaseEvent(e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (!painted_) return QPlainTextEdit::mouseDoubleClickEvent(e);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (!painted_) return QPlainTextEdit::keyPressEvent(e);
    const int count = static_cast<int>(model_.Lines().size());
    if (e->matches(QKeySequence::Copy)) {
      CopySelection();
      return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
      anchor_ = 0;
      current_ = count - 1;
      viewport()->update();
      return;
    }
    const int page = std::max(1, viewport()->height() / RowHeight() - 1);
    int line = current_ < 0 ? verticalScrollBar()->value() : current_;
    switch (e->key()) {
      case Qt::Key_Up:
        line -= 1;
        break;
      case Qt::Key_Down:
        line += 1;
        break;
      case Qt::Key_PageUp:
        line -= page;
        break;
      case Qt::Key_PageDown:
        line += page;
        break;
      case Qt::Key_Home:
        line = 0;
        break;
      case Qt::Key_End:
        line = count - 1;
        break;
      default:
        return QAbstractScrollArea::keyPressEvent(e);
    }
    current_ = std::clamp(line, 0, std::max(0, count - 1));
    if (!(e->modifiers() & Qt::ShiftModifier) || anchor_ < 0) anchor_ = current_;
    ScrollTo(current_);
    viewport()->update();
  }

 private:
  static constexpr int kMargin = 4;

  int RowHeight() const { return std::max(1, QFontMetrics(font()).lineSpacing()); }
  int LineAt(double y) const {
    int line = verticalScrollBar()->value() + static_cast<int>((y - kMargin) / RowHeight());
    return std::clamp(line, 0, std::max(0, static_cast<int>(model_.Lines().size()) - 1));
  }
  std::pair<int, int> Selection() const {
    if (anchor_ < 0 || current_ < 0) return {-1, -2};
    return {std::min(anchor_, current_), std::max(anchor_, current_)};
  }
  void ScrollTo(int line) {
    QScrollBar* v = verticalScrollBar();
    int rows = std::max(1, (viewport()->height() - kMargin) / RowHeight());
    if (line < v->value()) v->setValue(line);
    if (line >= v->value() + rows) v->setValue(line - rows + 1);
  }
  void CopySelection() {
    const auto [from, to] = Selection();
    if (from < 0) return;
    const auto& lines = model_.Lines();
    QString text;
    for (int i = from; i <= to && i < static_cast<int>(lines.size()); ++i) {
      if (i > from) text += '\n';
      text += Q(ui::Cp932ToUtf8(lines[i]));
    }
    QApplication::clipboard()->setText(text);
  }
  void UpdateBars() {
    settingBars_ = true;
    const QFontMetrics fm(font());
    int count = static_cast<int>(model_.Lines().size());
    int rows = std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight());
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, count - rows));
    v->setPageStep(rows);
    v->setSingleStep(1);
    // Wide enough for the longest line (cp932: a byte is at most half a
    // full-width character).
    int width = static_cast<int>(widestBytes_) * fm.averageCharWidth() + 2 * kMargin;
    QScrollBar* hb = horizontalScrollBar();
    hb->setRange(0, std::max(0, width - viewport()->width()));
    hb->setPageStep(viewport()->width());
    hb->setSingleStep(fm.averageCharWidth());
    settingBars_ = false;
  }

  const ui::TMemo& model_;
  bool painted_ = false;
  bool settingBars_ = false;
  size_t widestBytes_ = 0;
  int anchor_ = -1, current_ = -1;  // selected lines (painted document)
};

// The document's lines are cp932 bytes, converted for display only. A change
// is shown at the next turn of Qt's loop, so that many single additions cost
// one refresh; lines added at the end are appended and scrolled into view.
// Up to kDocumentLines lines live in the editor's text document; beyond, the
// editor paints the form's lines itself.
class MemoView : public ControlView {
 public:
  MemoView(ui::TMemo& m, QWidget* parent) : MemoView(m, new MemoEditor(m, parent)) {}

 private:
  static constexpr size_t kDocumentLines = 1000;

  MemoView(ui::TMemo& m, MemoEditor* w) : ControlView(m, w), model_(m), text_(w) {
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setUndoRedoEnabled(false);
    Attach();
  }
  void Sync(Prop p) override {
    ControlView::Sync(p);
    if (p == Prop::Lines || (p == Prop::Visible && pending_)) {
      pending_ = true;
      if (!model_.Visible() || scheduled_) return;
      scheduled_ = true;
      QTimer::singleShot(0, text_, [this] { Refresh(); });
    }
  }
  void Refresh() {
    scheduled_ = false;
    if (!model_.Visible()) return;
    pending_ = false;
    const auto& lines = model_.Lines();
    const bool appended =
        model_.Replacements() == shownReplacements_ && lines.size() >= shownCount_;
    if (lines.size() > kDocumentLines) {
      shown_.clear();
      shown_.shrink_to_fit();
      bool was = text_->Painted();
      size_t from = was && appended ? shownCount_ : 0;
      text_->ShowPainted(from, appended && lines.size() > shownCount_, !appended);
    } else {
      if (text_->Painted()) {
        text_->ShowDocument();
        shown_.clear();
        text_->setPlainText(QString());
      }
      size_t same = 0;
      if (lines.size() >= shown_.size())
        while (same < shown_.size() && shown_[same] == lines[same]) ++same;
      if (same == shown_.size() && !shown_.empty()) {
        for (size_t i = same; i < lines.size(); ++i)
          text_->appendPlainText(Q(ui::Cp932ToUtf8(lines[i])));
        if (lines.size() > same) text_->moveCursor(QTextCursor::End);
      } else {
        QString all;
        for (size_t i = 0; i < lines.size(); ++i) {
          if (i) all += '\n';
          all += Q(ui::Cp932ToUtf8(lines[i]));
        }
        text_->setPlainText(all);
      }
      shown_ = lines.ToVector();  // at most kDocumentLines
    }
    shownCount_ = lines.size();
    shownReplacements_ = model_.Replacements();
  }
  ui::TMemo& model_;
  MemoEditor* text_;
  std::vector<std::string> shown_;
  size_t shownCount_ = 0;
  uint64_t shownReplacements_ = 0;
  bool pending_ = false;
  bool scheduled_ = false;
};

class ListBoxView : public ControlView {
 public:
  ListBoxView(ui::TListBox& m, QWidget* parent) : ListBoxView(m, new QListWidget(parent)) {}

 private:
  ListBoxView(ui::TListBox& m, QListWidget* w) : ControlView(m, w), model_(m), list_(w) {
    QObject::connect(list_, &QListWidget::currentRowChanged, list_, [this](int row) {
      if (Syncing() || row == model_.ItemIndex()) return;
      RunUserAction([&] {
        model_.SetItemIndex(row);
        model_.UserClick();
      });
      Update(Prop::ItemIndex);
    });
    QObject::connect(list_, &QListWidget::itemDoubleClicked, list_,
                     [this] { RunUserAction([this] { model_.UserDblClick(); }); });
    Attach();
  }
  void Sync(Prop p) override {
    if (p == Prop::Items || p == Prop::ItemIndex) {
      QSignalBlocker block(list_);
      if (p == Prop::Items) {
        list_->clear();
        list_->addItems(ToQStrings(model_.Items()));
      }
      list_->setCurrentRow(model_.ItemIndex());
    }
    ControlView::Sync(p);
  }
  ui::TListBox& model_;
  QListWidget* list_;
};

// ---- Controls with a position in a range

void ApplyRange(QProgressBar* w, const ui::TRangeControl& m) {
  w->setRange(m.Min(), m.Max());
}
void ApplyRange(QSlider* w, const ui::TRangeControl& m) {
  w->setRange(m.Min(), m.Max());
}
void ApplyRange(QSpinBox* w, const ui::TRangeControl& m) {
  w->setRange(m.Min(), m.Max());
}
void ApplyRange(QScrollBar* w, const ui::TRangeControl& m) {
  // With a page size the thumb covers a page: the last position is
  // Max - PageSize + 1.
  int page = static_cast<const ui::TScrollBar&>(m).PageSize();
  w->setRange(m.Min(), std::max(m.Min(), m.Max() - std::max(0, page - 1)));
  w->setPageStep(std::max(1, page));
}

template <class W>
class RangeView : public ControlView {
 public:
  RangeView(ui::TRangeControl& m, W* w) : ControlView(m, w), model_(m), w_(w) {
    if constexpr (!std::is_same_v<W, QProgressBar>) {
      QObject::connect(w_, &W::valueChanged, w_, [this](int v) {
        if (Syncing() || v == model_.Position()) return;
        RunUserAction([&] { model_.SetPosition(v); });
        Update(Prop::Position);
      });
    }
    Attach();
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Range || p == Prop::Position) {
      QSignalBlocker block(w_);
      ApplyRange(w_, model_);
      w_->setValue(model_.Position());
    }
    ControlView::Sync(p);
  }
  ui::TRangeControl& model_;
  W* w_;
};

Qt::Orientation OrientationOf(const ui::TControl& c) {
  return c.Height() > c.Width() ? Qt::Vertical : Qt::Horizontal;
}

std::unique_ptr<ControlView> MakeRangeView(ui::TRangeControl& m, QWidget* parent) {
  switch (m.GetKind()) {
    case ui::Kind::ProgressBar: {
      auto* w = new QProgressBar(parent);
      w->setTextVisible(false);
      w->setOrientation(OrientationOf(m));
      return std::make_unique<RangeView<QProgressBar>>(m, w);
    }
    case ui::Kind::TrackBar: {
      auto* w = new QSlider(OrientationOf(m), parent);
      w->setTickPosition(QSlider::TicksBelow);
      w->setTickInterval(std::max(1, (m.Max() - m.Min()) / 20));
      w->setPageStep(std::max(1, (m.Max() - m.Min()) / 5));
      return std::make_unique<RangeView<QSlider>>(m, w);
    }
    case ui::Kind::ScrollBar:
      return std::make_unique<RangeView<QScrollBar>>(m, new QScrollBar(OrientationOf(m), parent));
    default: {
      auto* w = new QSpinBox(parent);
      w->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
      return std::make_unique<RangeView<QSpinBox>>(m, w);
    }
  }
}

}  // namespace

void RunUserAction(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    if (auto* app = ui::Application()) app->HandleException(std::current_exception());
  }
  if (AfterUserAction()) AfterUserAction()();
}

void SetAfterUserAction(std::function<void()> hook) {
  AfterUserAction() = std::move(hook);
}

// ---- ControlView

ControlView::ControlView(ui::TControl& model, QWidget* widget) : model_(model), widget_(widget) {
  widget_->setObjectName(Q(model.Name()));
}

ControlView::~ControlView() {
  if (observer_) model_.RemoveObserver(observer_);
  // The widget's signals no longer reach this view (its connections all use
  // the widget as their context).
  QObject::disconnect(widget_, nullptr, widget_, nullptr);
}

void ControlView::Attach() {
  for (Prop p :
       {Prop::Font, Prop::Caption, Prop::Text, Prop::Items, Prop::ItemIndex, Prop::Lines,
        Prop::Checked, Prop::Range, Prop::Position, Prop::Enabled, Prop::Geometry, Prop::Visible})
    Update(p);
  observer_ = model_.AddObserver([this](ui::TComponent&, Prop p) { Update(p); });
}

void ControlView::Update(Prop p) {
  ++syncing_;
  Sync(p);
  --syncing_;
}

QRect ControlView::Bounds() const {
  return QRect(model_.Left(), model_.Top(), model_.Width(), model_.Height());
}

void ControlView::Sync(Prop p) {
  switch (p) {
    case Prop::Geometry:
      widget_->setGeometry(Bounds());
      break;
    case Prop::Visible:
      widget_->setVisible(model_.Visible());
      break;
    case Prop::Enabled:
      widget_->setEnabled(model_.Enabled());
      break;
    case Prop::Font: {
      widget_->setFont(ToQFont(model_.Font()));
      // The text colour, set only where the widget does not show it already
      // (most fonts have the standard colour): a palette set on a widget is
      // a copy of its own.
      QColor c = ToQColor(model_.Font().Color);
      const QPalette& shown = widget_->palette();
      if (shown.color(QPalette::WindowText) == c && shown.color(QPalette::Text) == c &&
          shown.color(QPalette::ButtonText) == c)
        break;
      QPalette pal = shown;
      pal.setColor(QPalette::WindowText, c);
      pal.setColor(QPalette::Text, c);
      pal.setColor(QPalette::ButtonText, c);
      widget_->setPalette(pal);
      break;
    }
    case Prop::Focus:
      widget_->setFocus(Qt::OtherFocusReason);
      break;
    default:
      break;
  }
}

std::unique_ptr<ControlView> MakeControlView(ui::TControl& c, QWidget* parent) {
  switch (c.GetKind()) {
    case ui::Kind::Label:
      return std::make_unique<LabelView>(static_cast<ui::TLabel&>(c), parent);
    case ui::Kind::Image:
      return std::make_unique<ImageView>(static_cast<ui::TImage&>(c), parent);
    case ui::Kind::Button:
      return std::make_unique<ButtonView>(static_cast<ui::TButton&>(c), parent);
    case ui::Kind::CheckBox:
      return std::make_unique<CheckBoxView>(static_cast<ui::TCheckBox&>(c), parent);
    case ui::Kind::Edit:
      return std::make_unique<EditView>(static_cast<ui::TEdit&>(c), parent);
    case ui::Kind::ComboBox:
      return std::make_unique<ComboBoxView>(static_cast<ui::TComboBox&>(c), parent);
    case ui::Kind::Memo:
      return std::make_unique<MemoView>(static_cast<ui::TMemo&>(c), parent);
    case ui::Kind::ListBox:
      return std::make_unique<ListBoxView>(static_cast<ui::TListBox&>(c), parent);
    case ui::Kind::ProgressBar:
    case ui::Kind::TrackBar:
    case ui::Kind::ScrollBar:
    case ui::Kind::UpDown:
      return MakeRangeView(static_cast<ui::TRangeControl&>(c), parent);
    default:
      return nullptr;
  }
}

}  // namespace dorv::qtui
