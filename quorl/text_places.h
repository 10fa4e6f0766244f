// Where a printed program gives each name: the line of its declaration and
// the line where its equation starts, as the printer writes them (lines
// counted from 1 by the output stream), so that a reader of the text need not
// find them again in it.
#ifndef QUORL_TEXT_PLACES_H
#define QUORL_TEXT_PLACES_H

#include <vector>

class TextPlaces {
public:
    struct Place {
        int declaration = 0;  // 0: the text does not declare the name
        int equation = 0;     // 0: the text gives it no equation
    };

    // A name the text gives twice (a faulty program declares it in two
    // lists) keeps the first place.
    void declared(int ident, int line) {
        if (ident > 0) keep_first(&slot(ident).declaration, line);
    }
    void defined(int ident, int line) {
        if (ident > 0) keep_first(&slot(ident).equation, line);
    }

    Place of(int ident) const {
        return ident > 0 && (size_t)ident < _places.size() ? _places[(size_t)ident] : Place();
    }

private:
    // Indexed by symbol identifier (positive): identifiers are small and dense.
    Place& slot(int ident) {
        if ((size_t)ident >= _places.size()) _places.resize((size_t)ident + 1);
        return _places[(size_t)ident];
    }
    static void keep_first(int* field, int line) {
        if (*field == 0) *field = line;
    }

    std::vector<Place> _places;
};

#endif
