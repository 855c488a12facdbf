{"adlist":[
 {"title":"Orvane: new videos every day","url":"${base}show.html?id=1","time":5},
 {"title":"Orvane: watch while it downloads","url":"${base}show.html?id=2","time":8}
]}
