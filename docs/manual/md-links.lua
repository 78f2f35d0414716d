-- Links between the chapters name their Markdown sources; the built pages are HTML.
function Link(link)
  link.target = link.target:gsub("%.md$", ".html"):gsub("%.md#", ".html#")
  return link
end
