// The catalogue site: formulas by KaTeX, and the overview table sortable and filterable.
document.addEventListener("DOMContentLoaded", function () {
  renderMathInElement(document.body, {
    delimiters: [
      { left: "\\[", right: "\\]", display: true },
      { left: "\\(", right: "\\)", display: false },
    ],
    throwOnError: false,
  });
  var table = document.querySelector("table.catalogue");
  if (!table) {
    var first = document.querySelector("h1#problem-catalogue ~ table, .md-content table, table");
    if (first && /collection/.test(first.rows[0].textContent)) table = first;
  }
  if (!table) return;
  table.classList.add("catalogue", "display", "compact");
  var api = jQuery(table).DataTable({ paging: false, order: [], info: true });
  // a choice per column for the columns a reader filters by
  var filtered = ["collection", "convex", "nonsmoothness", "below"];
  api.columns().every(function () {
    var column = this;
    var name = jQuery(column.header()).text().trim();
    if (filtered.indexOf(name) < 0) return;
    var select = jQuery('<select><option value="">all</option></select>')
      .attr("aria-label", "filter " + name)
      .appendTo(jQuery(column.header()))
      .on("click", function (e) { e.stopPropagation(); })
      .on("change", function () {
        var v = jQuery.fn.dataTable.util.escapeRegex(jQuery(this).val());
        column.search(v ? "^" + v + "$" : "", true, false).draw();
      });
    column.data().unique().sort().each(function (d) {
      var text = jQuery("<div>").html(d).text().trim();
      select.append(jQuery("<option>").attr("value", text).text(text));
    });
  });
});
