#pragma once
// The goods category list: the code list of "pfakatv", flat by code (C) or
// name (N), or as a tree (c, n) whose nodes, the codes of one or two
// characters, open and close their children.  Enter opens the goods of the
// category (PAC).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lists/codes/code_lists.h"

extern const CodeListSpec kGoodsCategoryList;

// The tree of the categories: the codes of the code index in key order
// (trailing blanks removed) and which positions are shown (bit i =
// position i, as the ATC tree keeps them).
struct CategoryTree {
    std::vector<std::string> codes;
    std::vector<uint16_t> shown;

    // The top level only: the one-character codes.
    void Collapse();
    // The number of shown positions.
    int32_t ShownCount() const;
    // Shows the direct children of the node (the following codes beginning
    // with it, no longer than the first of them); only codes of one or two
    // characters are nodes.
    void ShowChildren(int32_t node);
    // Hides every code below the node.
    void HideBranch(int32_t node);
    // Makes the first code at or after `code` that begins with it visible,
    // with the children of each node above it.
    void Reveal(std::string_view code);
    // The two-character marker of a position: "+" (children hidden) or "-"
    // at place 1 for a one-character code, 2 for a two-character one; two
    // blanks for a code without children.
    std::string Marker(int32_t position) const;
};

// The goods category list's window.
class GoodsCategoryList : public CodeList {
public:
    GoodsCategoryList() : CodeList(kGoodsCategoryList) {}

    std::string_view CheckTables() override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;

    const CategoryTree& Tree() const { return tree_; }

private:
    // A tree key ("<", ">", "+", "-") on the current row's node.
    ListAction TreeKey(VybRec& rec, char key, ListAction result);
    ListAction PrefixChanged(VybRec& rec);

    CategoryTree tree_;
};

void OpenGoodsCategoryList(uint16_t code);
