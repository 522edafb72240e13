#include "ui/form.h"

#include <nlohmann/json.hpp>

#include "resources/resources.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/event_loop.h"
#include "ui/raster_canvas.h"
#include "ui/text.h"

namespace dorv::ui {

using nlohmann::json;

namespace {

TColor ParseColor(const json& j, TColor def) {
  if (j.is_number_unsigned() || j.is_number_integer()) return j.get<TColor>();
  if (!j.is_string()) return def;
  std::string s = j.get<std::string>();
  static const std::pair<const char*, TColor> names[] = {
      {"clBlack", clBlack},
      {"clWhite", clWhite},
      {"clGray", clGray},
      {"clSilver", clSilver},
      {"clRed", clRed},
      {"clFuchsia", clFuchsia},
      {"clBlue", clBlue},
      {"clGreen", clGreen},
      {"clLime", clLime},
      {"clWindow", clWindow},
      {"clWindowText", clWindowText},
      {"clHighlight", clHighlight},
      {"clBtnFace", clBtnFace},
      {"clGrayText", clGrayText},
      {"cl3DDkShadow", cl3DDkShadow},
  };
  for (auto& [n, c] : names)
    if (s == n) return c;
  if (s.size() == 7 && s[0] == '#') {
    unsigned v = std::stoul(s.substr(1), nullptr, 16);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  return def;
}

TFont ParseFont(const json& j, TFont f) {
  if (!j.is_object()) return f;
  if (j.contains("name")) f.Name = j["name"].get<std::string>();
  if (j.contains("height")) f.Height = j["height"].get<int>();
  if (j.contains("bold")) f.Bold = j["bold"].get<bool>();
  if (j.contains("color")) f.Color = ParseColor(j["color"], f.Color);
  return f;
}

std::vector<std::string> Strings(const json& j, const char* key) {
  std::vector<std::string> out;
  if (j.contains(key))
    for (auto& s : j[key]) out.push_back(s.get<std::string>());
  return out;
}

unsigned ParseOptions(const json& j) {
  unsigned o = 0;
  if (!j.is_array()) return o;
  for (auto& s : j) {
    std::string n = s.get<std::string>();
    if (n == "ofOverwritePrompt") o |= ofOverwritePrompt;
    if (n == "ofFileMustExist") o |= ofFileMustExist;
    if (n == "ofHideReadOnly") o |= ofHideReadOnly;
    if (n == "ofEnableSizing") o |= ofEnableSizing;
  }
  return o;
}

std::unique_ptr<TComponent> MakeComponent(const json& c, const TFont& formFont) {
  std::string name = c.at("name").get<std::string>();
  std::string kind = c.at("kind").get<std::string>();
  std::unique_ptr<TComponent> comp;
  if (kind == "TTimer") {
    auto t = std::make_unique<TTimer>(name);
    t->SetInterval(c.value("interval", 1000));
    t->SetEnabled(c.value("enabled", true));
    return t;
  }
  if (kind == "TOpenDialog" || kind == "TSaveDialog") {
    std::unique_ptr<TOpenDialog> d = kind == "TSaveDialog" ? std::make_unique<TSaveDialog>(name)
                                                           : std::make_unique<TOpenDialog>(name);
    d->Title = c.value("title", "");
    d->Filter = c.value("filter", "");
    d->DefaultExt = c.value("defaultExt", "");
    d->FileName = c.value("fileName", "");
    if (c.contains("options")) d->Options = ParseOptions(c["options"]);
    return d;
  }
  if (kind == "TPrintDialog") return std::make_unique<TPrintDialog>(name);

  std::unique_ptr<TControl> ctl;
  if (kind == "TLabel") {
    auto label = std::make_unique<TLabel>(name);
    label->AutoSize = c.value("autoSize", true);
    ctl = std::move(label);
  } else if (kind == "TButton") {
    ctl = std::make_unique<TButton>(name);
  } else if (kind == "TEdit") {
    ctl = std::make_unique<TEdit>(name);
  } else if (kind == "TComboBox") {
    auto cb = std::make_unique<TComboBox>(name);
    cb->SetItems(Strings(c, "items"));
    ctl = std::move(cb);
  } else if (kind == "TCheckBox") {
    auto cb = std::make_unique<TCheckBox>(name);
    cb->SetChecked(c.value("checked", false));
    ctl = std::move(cb);
  } else if (kind == "TMemo") {
    auto m = std::make_unique<TMemo>(name);
    std::vector<std::string> lines;
    for (auto& l : Strings(c, "lines")) lines.push_back(Utf8ToCp932(l));
    m->SetLines(std::move(lines));
    ctl = std::move(m);
  } else if (kind == "TListBox") {
    auto lb = std::make_unique<TListBox>(name);
    lb->SetItems(Strings(c, "items"));
    ctl = std::move(lb);
  } else if (kind == "TProgressBar" || kind == "TTrackBar" || kind == "TUpDown" ||
             kind == "TScrollBar") {
    std::unique_ptr<TRangeControl> r;
    if (kind == "TProgressBar") r = std::make_unique<TProgressBar>(name);
    if (kind == "TTrackBar") r = std::make_unique<TTrackBar>(name);
    if (kind == "TUpDown") {
      auto u = std::make_unique<TUpDown>(name);
      u->Associate = c.value("associate", "");
      r = std::move(u);
    }
    if (kind == "TScrollBar") {
      auto s = std::make_unique<TScrollBar>(name);
      s->SetParams(c.value("position", 0), c.value("min", 0), c.value("max", 100));
      s->SetPageSize(c.value("pageSize", 0));
      r = std::move(s);
    } else {
      r->SetMax(c.value("max", 100));
      r->SetMin(c.value("min", 0));
      r->SetPosition(c.value("position", 0));
    }
    ctl = std::move(r);
  } else if (kind == "TImage") {
    auto im = std::make_unique<TImage>(name);
    im->Picture = c.value("picture", "");
    ctl = std::move(im);
  } else {
    return nullptr;  // a kind of the form's own (TSerialPort): kept as design data
  }
  ctl->SetBounds(c.value("left", 0), c.value("top", 0), c.value("width", 0), c.value("height", 0));
  ctl->SetVisible(c.value("visible", true));
  ctl->SetEnabled(c.value("enabled", true));
  ctl->SetFont(ParseFont(c.value("font", json::object()), formFont));
  if (c.contains("caption"))
    ctl->SetCaption(c["caption"].get<std::string>());
  else if (c.contains("text"))
    ctl->SetCaption(c["text"].get<std::string>());
  return ctl;
}

}  // namespace

TForm::TForm(const std::string& designName) : TComponent(designName, Kind::Form) {
  LoadDesign(resources::Get("forms/" + designName + ".json"));
}

TForm::TForm(const std::string& name, DesignText design) : TComponent(name, Kind::Form) {
  LoadDesign(design.json);
}

TForm::~TForm() {
  *alive_ = false;
}

void TForm::LoadDesign(std::string_view designJson) {
  json d = json::parse(designJson);
  caption_ = d.value("caption", "");
  left_ = d.value("left", 0);
  top_ = d.value("top", 0);
  width_ = d.value("width", 300);
  height_ = d.value("height", 200);
  std::string border = d.value("borderStyle", "sizeable");
  borderStyle_ = border == "single"   ? TBorderStyle::Single
                 : border == "dialog" ? TBorderStyle::Dialog
                                      : TBorderStyle::Sizeable;
  std::string pos = d.value("position", "designed");
  position_ = pos == "screenCenter"     ? TPosition::ScreenCenter
              : pos == "mainFormCenter" ? TPosition::MainFormCenter
                                        : TPosition::Designed;
  font_ = ParseFont(d.value("font", json::object()), font_);
  if (d.contains("color")) color_ = ParseColor(d["color"], color_);
  for (auto& c : d.value("controls", json::array())) {
    auto comp = MakeComponent(c, font_);
    if (comp) {
      comp->SetOwner(this);
      components_.push_back(std::move(comp));
    } else {
      foreign_.emplace_back(c.at("name").get<std::string>(), std::make_shared<json>(c));
    }
  }
  // The design's visibility applies when the application shows its forms;
  // a form starts hidden.
  visible_ = false;
}

TComponent* TForm::FindComponent(const std::string& name) const {
  for (auto& c : components_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

const json* TForm::DesignOf(const std::string& name) const {
  for (auto& [n, j] : foreign_)
    if (n == name) return j.get();
  return nullptr;
}

void TForm::SetCaption(const std::string& s) {
  if (s == caption_) return;
  caption_ = s;
  Changed(Prop::Caption);
}

void TForm::SetBounds(int l, int t, int w, int h) {
  bool resized = w != width_ || h != height_;
  if (l == left_ && t == top_ && !resized) return;
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  Changed(Prop::Geometry);
  if (resized) {
    if (OnResize) OnResize();
    Invalidate();
  }
}

void TForm::SetFontColor(TColor c) {
  font_.Color = c;
  Changed(Prop::Font);
}

void TForm::Show() {
  if (!visible_) {
    auto* app = Application();
    if (app && position_ == TPosition::ScreenCenter) {
      SetBounds((app->ScreenWidth() - width_) / 2, (app->ScreenHeight() - height_) / 2, width_,
                height_);
    } else if (app && position_ == TPosition::MainFormCenter && app->MainForm() &&
               app->MainForm() != this) {
      TForm* m = app->MainForm();
      SetBounds(m->Left() + (m->Width() - width_) / 2, m->Top() + (m->Height() - height_) / 2,
                width_, height_);
    }
    visible_ = true;
    Changed(Prop::Visible);
    if (OnShow) OnShow();
  }
  Invalidate();
}

void TForm::Hide() {
  if (!visible_) return;
  visible_ = false;
  Changed(Prop::Visible);
}

void TForm::Close() {
  if (OnClose) OnClose();
  Hide();
  auto* app = Application();
  if (app && app->MainForm() == this) app->Terminate();
}

void TForm::Invalidate() {
  if (invalidateHook_) {
    invalidateHook_();
    return;
  }
  if (paintPending_ || !visible_) return;
  auto* loop = EventLoop::Current();
  if (!loop) return;
  paintPending_ = true;
  loop->PostIdle([this, alive = alive_] {
    if (!*alive) return;
    paintPending_ = false;
    if (!visible_) return;
    offscreen_.Clear();
    PaintOn(offscreen_);
  });
}

void TForm::PaintOn(TCanvas& canvas) {
  ++paintCount_;
  canvas.Font = font_;
  TCanvas* saved = paintCanvas_;
  paintCanvas_ = &canvas;
  struct Restore {
    TForm* f;
    TCanvas* c;
    ~Restore() { f->paintCanvas_ = c; }
  } restore{this, saved};
  if (OnPaint) OnPaint(canvas);
}

void TForm::GrabClientImage(int& w, int& h, std::vector<unsigned char>& rgb) {
  if (grabHook_) {
    grabHook_(w, h, rgb);
    return;
  }
  TRasterCanvas image = RenderFormImage(*this);
  w = image.Width();
  h = image.Height();
  rgb = image.Rgb();
}

void TForm::UserMouseDown(TMouseButton b, int x, int y) {
  if (OnMouseDown) OnMouseDown(b, x, y);
}

void TForm::UserMouseUp(TMouseButton b, int x, int y) {
  if (OnMouseUp) OnMouseUp(b, x, y);
}

void TForm::UserMouseMove(int x, int y) {
  if (OnMouseMove) OnMouseMove(x, y);
}

void TForm::UserMouseWheel(int delta, int x, int y) {
  if (OnMouseWheel) OnMouseWheel(delta, x, y);
}

bool TForm::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Caption") {
    out = caption_;
  } else if (prop == "Visible") {
    out = visible_ ? "true" : "false";
  } else if (prop == "Left") {
    out = std::to_string(left_);
  } else if (prop == "Top") {
    out = std::to_string(top_);
  } else if (prop == "Width") {
    out = std::to_string(width_);
  } else if (prop == "Height") {
    out = std::to_string(height_);
  } else if (prop == "ClientWidth") {
    out = std::to_string(ClientWidth());
  } else if (prop == "ClientHeight") {
    out = std::to_string(ClientHeight());
  } else {
    return TComponent::GetProperty(prop, out);
  }
  return true;
}

bool TForm::GetStateVariable(const std::string&, std::string&) const {
  return false;
}

}  // namespace dorv::ui
