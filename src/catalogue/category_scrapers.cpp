// Choosing a site in the 网站 menu: its categories come from the store, or
// once from the site's category page.
#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/category_pages.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/files.h"

namespace talvenor {

void TForm1::SelectSiteMenu(MenuItem& sender) {
    Tag = sender.tag;
    if (PanelLeft2Visible) {
        PanelLeft2Visible = false;
        PanelLeft1Visible = true;
    }
}

void TForm1::PrepareSite(const std::string& label) {
    std::string folder = SiteFolder(program_.paths.appDir, label);
    if (!DirExists(folder)) MakeDirs(folder);
    ListBox1.Clear();
    fenleiURLList.Clear();
    ListBox2.Clear();
    BookURLList.Clear();
}

bool TForm1::OpenSite(MenuItem& sender, const std::string& label) {
    SelectSiteMenu(sender);
    CurrentSite = label;
    PanelLeft1Visible = true;
    categoriesFetchFailed_ = false;
    if (LoadCategories()) return true;
    PrepareSite(label);
    return false;
}

void TForm1::CloseFetchedSite() {
    SaveListPair(StorePath("fenlei.ml"), ListBox1.items, fenleiURLList.items);
    if (!ListBox1.Empty()) ListBox1.Select(0);
    ListBox1Click();
}

void TForm1::AddCategories(const CategoryPage& cut) {
    for (size_t i = 0; i < cut.names.size(); ++i) {
        fenleiURLList.Add(cut.urls[i]);
        ListBox1.Add(cut.names[i]);
    }
}

void TForm1::ReloadSite(const std::string& label) {
    switch (SiteOfLabel(label)) {
        case Site::Duowan:
            N2Click(N2);
            break;
        case Site::Readnovel:
            N8Click(N8);
            break;
        case Site::Xs8:
            N21Click(N21);
            break;
        case Site::Feiku:
            N29Click(N29);
            break;
        default:
            for (size_t i = 0; i < AddedSiteItems.size(); ++i)
                if (AddedSiteItems[i].caption == label) AddedSiteClick(i);
            break;
    }
}

void TForm1::AddedSiteClick(size_t index) {
    if (index >= AddedSiteItems.size()) return;
    const std::string label = AddedSiteItems[index].caption;
    const RuleSite site = AddedSiteOfLabel(label);
    if (!site) return;
    if (OpenSite(AddedSiteItems[index], label)) return;
    CategoryPage cut;
    try {
        cut = AddedCategories(*site, [&](const std::string& url) { return FetchBlocking(url); });
    } catch (const std::exception&) {
        categoriesFetchFailed_ = true;
        return;
    }
    try {
        AddCategories(cut);
        CloseFetchedSite();
    } catch (...) {
    }
}

void TForm1::N2Click(MenuItem& sender) {
    if (OpenSite(sender, Label(Site::Duowan))) return;
    const std::string base = Hosts().duowan;
    const std::string first = base + "/include/finish/all_1.html";
    ListBox1.Add(G("所有分类"));
    fenleiURLList.Add(first);
    std::string page;
    try {
        page = FetchBlocking(first);
    } catch (const FetchError&) {
        categoriesFetchFailed_ = true;
        return;
    }
    try {
        AddCategories(DuowanCategoryPage(page, base));
        CloseFetchedSite();
    } catch (...) {
    }
}

void TForm1::N8Click(MenuItem& sender) {
    if (OpenSite(sender, Label(Site::Readnovel))) return;
    const std::string base = Hosts().readnovel;
    std::string page;
    try {
        page = FetchBlocking(base + "/ch/all/all.html");
    } catch (const FetchError&) {
        categoriesFetchFailed_ = true;
        return;
    }
    try {
        AddCategories(ReadnovelCategoryPage(page, base));
        CloseFetchedSite();
    } catch (...) {
    }
}

void TForm1::N29Click(MenuItem& sender) {
    if (OpenSite(sender, Label(Site::Feiku))) return;
    std::string page;
    try {
        page = FetchBlocking(Hosts().feiku + "/Book/ShowBookOver.aspx");
    } catch (const FetchError&) {
        categoriesFetchFailed_ = true;
        return;
    }
    try {
        AddCategories(FeikuCategoryPage(page));
        CloseFetchedSite();
    } catch (...) {
    }
}

void TForm1::N21Click(MenuItem& sender) {
    if (OpenSite(sender, Label(Site::Xs8))) return;
    if (!program_.desktop.Ask(G("提醒"),
                              G("下载“言情小说吧”的数据需要较长的时间，下载期间程序会隐藏。点击“否”取消"))) {
        N2Click(N2);
        return;
    }
    window.visible = false;
    TForm4& f4 = *program_.form4;
    f4.Show();
    f4.Tag = 1;
    program_.StartWorker(program_.IdHTTP1.Get(), &ListBox2, &BookURLList, 9, &f4.ProgressBar1, "main",
                         CurrentSite, program_.paths.appDir, &program_.reader->ReaderScratch());
}

}  // namespace talvenor
