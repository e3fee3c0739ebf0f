#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "core/maps/MapFile.h"

// A block of cells in grid numbers. -1 in a row (column) means every row (column) of the sheet,
// 0 the header row (column). row2/col2 of -2 mean "same as row/col".
struct GridRange {
  int row = -1, col = -1, row2 = -2, col2 = -2;
  static GridRange cell(int r, int c) { return {r, c, r, c}; }
  static GridRange all() { return {-1, -1, -1, -1}; }
  static GridRange block(int r, int c, int r2, int c2) { return {r, c, r2, c2}; }
};

// The data of the spreadsheet grid. Rows 1..maxRows and columns 1..maxCols are the cells; row 0
// holds the column headers, column 0 the row headers, (0, 0) the corner. Model row i is grid row
// i + 1. Only cells that differ from the sheet's defaults are stored, sorted by column per row, so a
// large mostly-plain sheet costs little.
class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class Align { Left = 0, Right = 1, Centre = 2 };
  static constexpr int kComboCell = 8;  // cell type of a drop-down list cell
  enum class Unit { Twips, Chars };     // unit of column widths and row heights

  explicit GridModel(QObject* parent = nullptr);

  // Size.
  int maxRows() const { return maxRows_; }
  int maxCols() const { return maxCols_; }
  void setMaxRows(int n);  // cells beyond the new size are dropped
  void setMaxCols(int n);
  int dataRowCnt() const;  // last row holding a text; 0 when none
  int dataColCnt() const;

  // Text.
  QString text(int row, int col) const;
  void setText(int row, int col, const QString& text);
  void setText(const GridRange& range, const QString& text);

  // Formats of single cells (effective values) and of blocks.
  QColor backColor(int row, int col) const;
  QColor foreColor(int row, int col) const;
  QFont font(int row, int col) const;
  bool fontBold(int row, int col) const;
  int typeHAlign(int row, int col) const;
  int cellType(int row, int col) const;
  QStringList comboList(int row, int col) const;
  void setBackColor(const GridRange& range, const QColor& c);
  void setForeColor(const GridRange& range, const QColor& c);
  void setFontName(const GridRange& range, const QString& name);
  void setFontSize(const GridRange& range, double size);
  void setFontBold(const GridRange& range, bool bold);
  void setTypeHAlign(const GridRange& range, int align);
  // Type 8 makes drop-down cells whose choices are the tab-separated items of list; other types
  // make plain text cells.
  void setCellType(const GridRange& range, int type, const QString& list = QString());

  // Rows and columns. The insert/delete actions keep the sheet's size (the last row falls off, or a
  // blank one comes in at the end); insertRows grows the sheet.
  void insertRowAt(int row);
  void insertColAt(int col);
  void deleteRowAt(int row);
  void deleteColAt(int col);
  void insertRows(int row, int count);

  // Sizes in the grid's unit; index -1 = every column (row), 0 the header.
  Unit unit() const { return unit_; }
  void setUnit(Unit u);
  double colWidth(int col) const;
  double rowHeight(int row) const;
  void setColWidth(int col, double w);
  void setRowHeight(int row, double h);
  double defaultColWidth() const { return defColWidth_; }
  double defaultRowHeight() const { return defRowHeight_; }
  bool hasColWidthOverrides() const { return !colWidths_.isEmpty(); }
  bool hasRowHeightOverrides() const { return !rowHeights_.isEmpty(); }

  // Every data cell whose back colour is not one of keep gets the colour to.
  void replaceBackColors(const QList<QColor>& keep, const QColor& to);
  // Every stored cell with a non-empty text, row by row. The text is valid during the call only.
  void forEachText(const std::function<void(int row, int col, QStringView text)>& fn) const;
  // Colours every data cell with a text in one pass: pick names the pair of back and text colours
  // of palette that the cell gets, or -1 to leave it as it is. Sends one change for the sheet.
  void colourTexts(const std::vector<std::pair<QColor, QColor>>& palette,
                   const std::function<int(QStringView text)>& pick);
  // Whole-sheet changes made inside a batch send one reset-free dataChanged at its end.
  class Batch {
   public:
    explicit Batch(GridModel& m) : m_(m) { ++m_.batch_; }
    ~Batch() {
      if (--m_.batch_ == 0) m_.flushBatch();
    }

   private:
    GridModel& m_;
  };

  // The sheet's own file (dataOnly: size and texts only); see MapFile. A failed load leaves the
  // sheet as it was; error then names the file.
  bool saveFile(const QString& path, bool dataOnly, QString* error = nullptr) const;
  bool loadFile(const QString& path, QString* error = nullptr);
  // The same through any reader or writer of a map (MapStore: a file or a server's row); error
  // takes the DbError's description.
  using MapReader = std::function<void(const std::function<void(const MapFile::Header&)>&,
                                       const std::function<void(MapCell&&)>&, MapFile::Text)>;
  using MapWriter = std::function<void(const MapFile::Header&, const MapFile::CellWriter&)>;
  bool saveMap(const MapWriter& write, bool dataOnly, QString* error = nullptr) const;
  bool loadMap(const MapReader& read, QString* error = nullptr);
  void clear();  // every cell and default back to a fresh sheet of the same size

  // QAbstractItemModel.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

 signals:
  void sizesChanged();  // column widths or row heights changed

 private:
  struct Style {
    QString fontName;  // empty = sheet default
    double fontSize = 0;
    qint8 bold = -1;
    qint8 halign = -1;
    qint8 type = 0;
    QString combo;
    bool operator==(const Style&) const = default;
  };
  // A cell's text. Up to 9 characters of Latin-1 (most map places and imported items) are kept in
  // the cell itself; any other text in one small heap block (length, then UTF-16). A large sheet
  // holds a million of them: a heap block each would double its memory and its load time.
  class CellText {
   public:
    static constexpr qsizetype kInline = 9;
    CellText() = default;
    ~CellText() {
      if (heap()) std::free(block());
    }
    CellText(const CellText& o) { copyFrom(o); }
    CellText(CellText&& o) noexcept {
      std::memcpy(raw_, o.raw_, sizeof raw_);
      o.raw_[0] = 0;
    }
    CellText& operator=(const CellText& o) {
      if (this != &o) {
        CellText t(o);
        swap(t);
      }
      return *this;
    }
    CellText& operator=(CellText&& o) noexcept {
      swap(o);
      return *this;
    }
    CellText& operator=(const QString& s) {
      assign(QStringView(s));
      return *this;
    }
    bool isEmpty() const { return raw_[0] == 0; }
    qsizetype size() const {
      if (!heap()) return raw_[0];
      quint32 n = 0;
      std::memcpy(&n, block(), sizeof n);
      return qsizetype(n);
    }
    QString toString() const {
      if (heap()) return QString(utf16(), size());
      return QString::fromLatin1(reinterpret_cast<const char*>(raw_ + 1), raw_[0]);
    }
    // The characters, widened into buf (at least kInline long) when the cell keeps them as Latin-1:
    // valid while the text and buf are unchanged.
    QStringView view(QChar* buf) const {
      if (heap()) return QStringView(utf16(), size());
      const qsizetype n = raw_[0];
      for (qsizetype i = 0; i < n; ++i) buf[i] = QChar(raw_[1 + i]);
      return QStringView(buf, n);
    }
    // Copies the text into out, reusing out's buffer.
    void copyTo(QString& out) const {
      const qsizetype n = size();
      out.resize(n);
      QChar* d = out.data();
      if (heap())
        std::memcpy(d, utf16(), 2 * size_t(n));
      else
        for (qsizetype i = 0; i < n; ++i) d[i] = QChar(raw_[1 + i]);
    }
    void assign(QStringView s) {
      const qsizetype n = s.size();
      bool narrow = n <= kInline;
      for (qsizetype i = 0; i < n && narrow; ++i) narrow = s[i].unicode() < 0x100;
      if (narrow) {
        clear();
        for (qsizetype i = 0; i < n; ++i) raw_[1 + i] = uchar(s[i].unicode());
        raw_[0] = uchar(n);
        return;
      }
      const quint32 len = quint32(n);
      char* np = static_cast<char*>(std::malloc(sizeof len + 2 * size_t(len)));
      if (!np) throw std::bad_alloc();
      std::memcpy(np, &len, sizeof len);
      std::memcpy(np + sizeof len, s.data(), 2 * size_t(len));
      clear();
      raw_[0] = kHeap;
      std::memcpy(raw_ + kAt, &np, sizeof np);
    }
    // Checked UTF-8, as a map file holds it: short ASCII is copied as it stands.
    void assignUtf8(QByteArrayView b) {
      const qsizetype n = b.size();
      bool narrow = n <= kInline;
      for (qsizetype i = 0; i < n && narrow; ++i) narrow = uchar(b[i]) < 0x80;
      if (!narrow) {
        assign(QString::fromUtf8(b));
        return;
      }
      clear();
      if (n) std::memcpy(raw_ + 1, b.data(), size_t(n));
      raw_[0] = uchar(n);
    }

   private:
    static constexpr uchar kHeap = 0xFF;  // raw_[0]: 0 empty, 1..9 Latin-1 length, kHeap a block
    static constexpr size_t kAt = 2;      // where a block's address is kept
    bool heap() const { return raw_[0] == kHeap; }
    char* block() const {
      char* p;
      std::memcpy(&p, raw_ + kAt, sizeof p);
      return p;
    }
    const QChar* utf16() const { return reinterpret_cast<const QChar*>(block() + sizeof(quint32)); }
    void clear() {
      if (heap()) std::free(block());
      raw_[0] = 0;
    }
    void swap(CellText& o) noexcept {
      unsigned char t[sizeof raw_];
      std::memcpy(t, raw_, sizeof raw_);
      std::memcpy(raw_, o.raw_, sizeof raw_);
      std::memcpy(o.raw_, t, sizeof raw_);
    }
    void copyFrom(const CellText& o) {
      if (o.heap())
        assign(QStringView(o.utf16(), o.size()));
      else
        std::memcpy(raw_, o.raw_, sizeof raw_);
    }
    unsigned char raw_[kInline + 1] = {};
    static_assert(kAt + sizeof(char*) <= sizeof raw_);
  };
  struct Cell {
    CellText text;
    quint16 style = 0;  // 0 = sheet default
    quint32 back = 0;   // 0 = sheet default, else 0xFFRRGGBB
    quint32 fore = 0;
    qint32 col = 0;
    bool plain() const { return text.isEmpty() && !back && !fore && !style; }
  };
  static_assert(sizeof(Cell) == 24, "a million cells are held at once");
  using Row = std::vector<Cell>;

  const Cell* find(int row, int col) const;
  Cell& cellRef(int row, int col);
  void prune(int row, int col);
  static Cell& cellIn(Row& r, int col);
  static void pruneIn(Row& r, int col);
  // Normalised bounds of a range; false when it is empty. A whole sheet is reported by wholeSheet.
  bool bounds(const GridRange& r, int& r1, int& c1, int& r2, int& c2) const;
  static bool isAll(const GridRange& r) { return r.row == -1 && r.col == -1; }
  template <class F>
  void applyBlock(const GridRange& range, F&& fn);
  void changeStyle(const GridRange& range, const std::function<void(Style&)>& change,
                   const std::function<void(Style&)>& changeDefault);
  quint16 intern(const Style& s);
  const Style& styleOf(const Cell* c) const;
  QFont fontFor(const Style& s) const;
  void changed(int r1, int c1, int r2, int c2);
  void flushBatch();

  int maxRows_ = 0;
  int maxCols_ = 0;
  std::vector<Row> rows_;  // index = grid row 0..maxRows
  quint32 defBack_ = 0xFFFFFFFF;
  quint32 defFore_ = 0xFF000000;
  Style defStyle_;
  std::vector<Style> styles_;  // styles_[0] unused (= default)
  mutable std::vector<QFont> fontCache_;
  mutable bool fontCacheValid_ = false;
  Unit unit_ = Unit::Twips;
  double defColWidth_ = 1000;
  double defRowHeight_ = 250;
  QHash<int, double> colWidths_;
  QHash<int, double> rowHeights_;
  int batch_ = 0;
  bool batchDirty_ = false;
};
