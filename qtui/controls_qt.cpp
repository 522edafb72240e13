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

// The document's lines are cp932 bytes, converted for display only. A change
// is shown at the next turn of Qt's loop, so that many single additions cost
// one refresh; lines added at the end are appended and scrolled into view.
class MemoView : public ControlView {
 public:
  MemoView(ui::TMemo& m, QWidget* parent) : MemoView(m, new QPlainTextEdit(parent)) {}

 private:
  MemoView(ui::TMemo& m, QPlainTextEdit* w) : ControlView(m, w), model_(m), text_(w) {
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
    shown_ = lines;
  }
  ui::TMemo& model_;
  QPlainTextEdit* text_;
  std::vector<std::string> shown_;
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
      QPalette pal = widget_->palette();
      QColor c = ToQColor(model_.Font().Color);
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
